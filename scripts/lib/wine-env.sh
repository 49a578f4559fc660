# Sourced by the scripts that run Windows programs: the project's Wine prefix
# of one architecture's build, an Xvfb display and a warm wineserver.
# qp_wine_arch picks the architecture (i686 until told otherwise);
# qp_wine_start starts what is missing; qp_wine_stop stops everything
# qp_wine_start started.

qp_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$qp_root/scripts/lib/arch.sh"
qp_user_prefix=${WINEPREFIX:-}
qp_plain_path=$PATH
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
qp_xvfb_pid=

# Points everything below at the build of ARCH (i686 or x86_64): qp_build,
# its own prefix, and for x86_64 the 64-bit loader under the name "wine"
# (scripts/lib/wine64). A prefix named by WINEPREFIX before sourcing is a
# 32-bit one and serves the i686 build.
qp_wine_arch() {
  qp_arch=$1
  qp_build=$qp_root/$(qp_build_dir "$qp_arch") || return 1
  if [ "$qp_arch" = i686 ]; then
    export WINEPREFIX="${qp_user_prefix:-$qp_build/wineprefix}" WINEARCH=win32 PATH=$qp_plain_path
    unset WINELOADER
  else
    export WINEPREFIX="$qp_build/wineprefix" WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
    export PATH=$qp_root/scripts/lib/wine64:$qp_plain_path
  fi
}
qp_wine_arch i686

# The build that runs here: i686 where this host runs 32-bit programs, else
# x86_64. Says which on stderr, as WHO.
qp_wine_pick_arch() {
  local who=$1
  if qp_host_runs_i686; then
    qp_wine_arch i686
    echo "$who: running the i686 build" >&2
  else
    qp_wine_arch x86_64
    echo "$who: running the x86_64 build: $qp_no_i686" >&2
  fi
}

qp_start_display() {
  local n
  for n in $(seq 91 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    qp_xvfb_pid=$!
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$qp_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    kill "$qp_xvfb_pid" 2>/dev/null || true
    qp_xvfb_pid=
  done
  echo "wine-env: no X display could be started" >&2
  return 1
}

# Creates the prefix once. Without a window manager every hide of a top-level
# window would stall two seconds, so Wine is told it manages the windows.
qp_prefix_init() {
  [ -f "$WINEPREFIX/.qp-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  if ! wineboot -i >/dev/null 2>&1 </dev/null; then
    echo "wine-env: could not make the $WINEARCH prefix $WINEPREFIX (wineboot -i failed)" >&2
    return 1
  fi
  if ! wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null; then
    echo "wine-env: could not tell Wine it manages the windows in $WINEPREFIX" >&2
    return 1
  fi
  wineserver -w
  touch "$WINEPREFIX/.qp-ready"
}

# The test CA (tests/servers/testpki.py, made on first use under build/testpki)
# among the prefix's trusted roots, so libcurl's own certificate check under
# Wine accepts the loopback HTTPS servers. The prefix keeps a stamp of the CA
# it trusts, so a warm run only compares hashes. Needs the tool from the build.
qp_trust_test_ca() {
  local pki="$qp_root/build/testpki" tool="$qp_build/tests/qp_add_root_cert.exe"
  local stamp_file="$WINEPREFIX/.qp-test-ca" stamp
  python3 "$qp_root/tests/servers/testpki.py" "$pki" >/dev/null
  stamp=$(sha256sum <"$pki/ca.pem")
  [ -f "$stamp_file" ] && [ "$(cat "$stamp_file")" = "$stamp" ] && return 0
  if [ ! -f "$tool" ]; then
    echo "wine-env: $tool is not built yet; the prefix does not trust the test CA" >&2
    return 0
  fi
  local ca="Z:$pki/ca.pem"
  if ! wine "$tool" "${ca//\//\\}" </dev/null >/dev/null; then
    echo "wine-env: could not add the test CA to the prefix's root store" >&2
    return 1
  fi
  echo "$stamp" >"$stamp_file"
}

# The Flash control's class id, as movie/FlashClsid.h spells it.
qp_flash_clsid=$(sed -n 's/^#define QP_FLASH_CLSID_TEXT "\(.*\)"$/\1/p' "$qp_root/movie/FlashClsid.h")

# The InprocServer32 of the Flash CLSID as the prefix's registry files hold it
# (per-user first), or nothing. The files are current while no program has
# changed the registry since the wineserver started.
qp_flash_server() {
  python3 - "$WINEPREFIX" "$qp_flash_clsid" <<'PY'
import sys
key = ("[software\\\\classes\\\\clsid\\\\" + sys.argv[2] + "\\\\inprocserver32]").lower()
for name in ("user.reg", "system.reg"):
    try:
        lines = open(sys.argv[1] + "/" + name, encoding="utf-8", errors="replace").read().splitlines()
    except OSError:
        continue
    inside = False
    for line in lines:
        if line.startswith("["):
            inside = line.lower().startswith(key)
        elif inside and line.startswith('@="'):
            print(line[3:].rstrip('"').replace("\\\\", "\\"))
            sys.exit(0)
PY
}

# Registers the build's bin/swfcontrol.dll for the Flash CLSID when no server
# is registered for it, in the registry view of the prefix's own bitness. A
# real control stays, and so does any other server, except a registration of
# ours whose DLL no longer exists (a moved tree).
qp_register_swfcontrol() {
  local dll="$qp_build/bin/swfcontrol.dll"
  [ -f "$dll" ] || return 0
  local want="Z:${dll//\//\\}"
  local have
  have=$(qp_flash_server)
  if [ -z "$have" ]; then
    wine regsvr32 /s "$want" </dev/null >/dev/null 2>&1 || echo "wine-env: could not register $dll" >&2
    return 0
  fi
  [ "${have,,}" = "${want,,}" ] && return 0
  case "${have,,}" in
    z:\\*\\swfcontrol.dll) ;;
    *) return 0 ;;
  esac
  local unix="${have:2}"
  [ -e "${unix//\\//}" ] && return 0
  wine reg add "HKCR\\CLSID\\$qp_flash_clsid\\InprocServer32" /ve /d "$want" /f \
    </dev/null >/dev/null 2>&1 || echo "wine-env: could not register $dll" >&2
}

# Keeps Wine's desktop up for the whole session (tests/tools/HoldDesktop.cpp
# says why). Needs the tool from the build.
qp_hold_desktop() {
  local tool="$qp_build/tests/qp_hold_desktop.exe"
  [ -f "$tool" ] || return 0
  wine "$tool" </dev/null >/dev/null 2>&1 &
}

qp_wine_start() {
  # A wineserver that started without a display would poison GUI runs.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  qp_start_display
  qp_prefix_init
  wineserver -p
  if ! wine cmd /c exit </dev/null >/dev/null 2>&1; then
    echo "wine-env: $qp_arch Wine does not run a program in $WINEPREFIX (wine cmd /c exit failed)" >&2
    return 1
  fi
  qp_hold_desktop
  qp_trust_test_ca
  qp_register_swfcontrol
}

qp_wine_stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$qp_xvfb_pid" ]; then
    kill "$qp_xvfb_pid" 2>/dev/null || true
    wait "$qp_xvfb_pid" 2>/dev/null || true
    qp_xvfb_pid=
  fi
}
