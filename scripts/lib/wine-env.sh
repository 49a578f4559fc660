# Sourced by the scripts that run Windows programs: the project's Wine prefix
# under build/, an Xvfb display and a warm wineserver. qp_wine_start starts
# what is missing; qp_wine_stop stops everything qp_wine_start started.

qp_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$qp_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
qp_xvfb_pid=

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
  wineboot -i >/dev/null 2>&1 </dev/null
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  wineserver -w
  touch "$WINEPREFIX/.qp-ready"
}

# The test CA (tests/servers/testpki.py, made on first use under build/testpki)
# among the prefix's trusted roots, so libcurl's own certificate check under
# Wine accepts the loopback HTTPS servers. The prefix keeps a stamp of the CA
# it trusts, so a warm run only compares hashes. Needs the tool from the build.
qp_trust_test_ca() {
  local pki="$qp_root/build/testpki" tool="$qp_root/build/tests/qp_add_root_cert.exe"
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

# Registers build/bin/swfcontrol.dll for the Flash CLSID when no server is
# registered for it. A real control stays, and so does any other server,
# except a registration of ours whose DLL no longer exists (a moved tree).
qp_register_swfcontrol() {
  local dll="$qp_root/build/bin/swfcontrol.dll"
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
  local tool="$qp_root/build/tests/qp_hold_desktop.exe"
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
  wine cmd /c exit </dev/null >/dev/null 2>&1
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
