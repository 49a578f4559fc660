"""Runs a program with a set of loopback servers around it.

    python3 with_servers.py SETUP.py -- PROGRAM [ARGS...]

SETUP.py defines servers(pki) returning {NAME: Server or ClosedPort} (see
loopback.py), made but not started; pki is the test certificate folder
(testpki.py, made on first use). This script starts them, runs the program
with, for each NAME (upper case),

    QP_SERVER_<NAME>_PORT   the port
    QP_SERVER_<NAME>_LOG    a Server's request log: "METHOD target" lines
    QP_TESTPKI              the certificate folder

in its environment, stops every server when the program ends (also when this
script is interrupted or terminated: the program gets the signal first), and
exits with the program's exit code.

Windows test programs use it as their CROSSCOMPILING_EMULATOR, with the
program being wine (tests/CMakeLists.txt: qp_with_loopback_servers(target
setup.py)), so every CTest test (one test process each) gets its own servers
and gtest_discover_tests still works; listing the tests starts no servers.
tests/support/LoopbackServers.h reads the variables on the Windows side.
"""

import os
import runpy
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import loopback  # noqa: E402
import testpki  # noqa: E402
from forwarded_child import ForwardedChild  # noqa: E402


def main(argv):
    if len(argv) < 4 or argv[2] != "--":
        print("usage: " + __doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    setup_path, command = argv[1], argv[3:]
    if "--gtest_list_tests" in command:
        return subprocess.call(command)

    servers = {}
    log_dir = tempfile.mkdtemp(prefix="qp-servers-")
    child = ForwardedChild()
    try:
        pki = testpki.ensure()
        servers = runpy.run_path(setup_path)["servers"](pki)
        env = dict(os.environ, QP_TESTPKI=pki)
        for name, server in servers.items():
            key = "QP_SERVER_" + name.upper()
            env[key + "_PORT"] = str(server.port)
            if isinstance(server, loopback.Server):
                log_path = os.path.join(log_dir, name + ".log")
                open(log_path, "w").close()
                server.log_to(log_path)
                env[key + "_LOG"] = log_path
            server.start()
        return child.run(command, env)
    except KeyboardInterrupt:
        return 130
    finally:
        child.stop()
        loopback.stop_all(servers.values())
        shutil.rmtree(log_dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
