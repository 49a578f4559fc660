"""Runs a program in a Wine prefix of its own, made for it and removed after.

    python3 scratch_prefix.py BUILD_DIR -- PROGRAM [ARGS...]
    python3 scratch_prefix.py BUILD_DIR --template

The prefix is a copy of BUILD_DIR/wineprefix-template: a fresh prefix of the
harness's bitness (WINEARCH: win32 unless the harness says win64, as for the
x86_64 build) with nothing of the player's in it, that trusts the test CA
(tests/servers/testpki.py, added with BUILD_DIR/tests/qp_add_root_cert.exe)
and in which Wine manages no windows, like the harness's prefix
(scripts/lib/wine-env.sh). The template is made on first use, and again when
Wine or the test CA change (about 15 s); copying it takes about a second.
--template only makes sure that it exists and prints its path.

PROGRAM runs with WINEPREFIX naming the copy, which lies under
BUILD_DIR/scratch. Afterwards every process of the copy is ended, its
wineserver is stopped and the copy is removed, also when this script is
interrupted or terminated (PROGRAM gets the signal first). The exit code is
PROGRAM's.

Wine's menu builder is kept off in the copy: it would put the installer's
Start-menu shortcut into the menus of the Linux desktop of whoever runs the
tests.

With --gtest_list_tests among the arguments (CTest's test discovery),
PROGRAM runs as it is, in the harness's prefix.
"""

import fcntl
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "servers"))
import testpki  # noqa: E402
from forwarded_child import ForwardedChild  # noqa: E402

# Part of the template's stamp: change it when the recipe below changes.
RECIPE = "1"


def wine_environment(prefix):
    env = dict(os.environ, WINEPREFIX=prefix)
    env.setdefault("WINEARCH", "win32")
    env.setdefault("WINEDEBUG", "-all")
    overrides = [part for part in env.get("WINEDLLOVERRIDES", "").split(";") if part]
    env["WINEDLLOVERRIDES"] = ";".join(overrides + ["mscoree,mshtml=", "winemenubuilder.exe=d"])
    return env


def quiet(command, env):
    return subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def stop_wineserver(env):
    quiet(["wineserver", "-k"], env)
    quiet(["wineserver", "-w"], env)


def ensure_template(build):
    template = os.path.join(build, "wineprefix-template")
    tool = os.path.join(build, "tests", "qp_add_root_cert.exe")
    pki = testpki.ensure()
    with open(os.path.join(pki, "ca.pem"), "rb") as ca:
        ca_hash = hashlib.sha256(ca.read()).hexdigest()
    version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    stamp = f"{RECIPE} {version} {ca_hash}\n"
    stamp_file = os.path.join(template, ".qp-template")

    os.makedirs(build, exist_ok=True)
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        try:
            with open(stamp_file) as f:
                if f.read() == stamp:
                    return template
        except OSError:
            pass
        if not os.path.exists(tool):
            raise SystemExit(f"scratch_prefix: {tool} is not built")
        shutil.rmtree(template, ignore_errors=True)
        os.makedirs(template)
        env = wine_environment(template)
        try:
            steps = [
                ["wineboot", "-i"],
                ["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                ["wine", tool, "Z:" + os.path.join(pki, "ca.pem").replace("/", "\\")],
            ]
            for step in steps:
                if quiet(step, env) != 0:
                    raise SystemExit(f"scratch_prefix: {' '.join(step)} failed in {template}")
            # Waiting for the server to end on its own writes the registry out.
            quiet(["wineserver", "-w"], env)
        except BaseException:
            stop_wineserver(env)
            shutil.rmtree(template, ignore_errors=True)
            raise
        with open(stamp_file, "w") as f:
            f.write(stamp)
    return template


def main(argv):
    if len(argv) == 3 and argv[2] == "--template":
        print(ensure_template(os.path.abspath(argv[1])))
        return 0
    if len(argv) < 4 or argv[2] != "--":
        print("usage: scratch_prefix.py BUILD_DIR (-- PROGRAM [ARGS...] | --template)", file=sys.stderr)
        return 2
    build, command = os.path.abspath(argv[1]), argv[3:]
    if "--gtest_list_tests" in command:
        return subprocess.call(command)

    child = ForwardedChild()

    template = ensure_template(build)
    scratch_root = os.path.join(build, "scratch")
    os.makedirs(scratch_root, exist_ok=True)
    prefix = tempfile.mkdtemp(prefix="prefix-", dir=scratch_root)
    env = wine_environment(prefix)
    try:
        # The copy replaces the empty folder mkdtemp reserved.
        os.rmdir(prefix)
        subprocess.run(["cp", "-a", "--reflink=auto", template, prefix], check=True)
        return child.run(command, env)
    except KeyboardInterrupt:
        return 130
    finally:
        child.stop()
        stop_wineserver(env)
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
