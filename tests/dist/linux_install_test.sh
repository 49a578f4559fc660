#!/usr/bin/env bash
# scripts/install-linux into a temporary HOME, as on a desktop that leaves
# links to xdg-utils: its entry becomes the default handler of
# x-scheme-handler/quibbleton, xdg-open hands links through it to the player
# under Wine, the player asks the loopback portal for what a link names, and
# --uninstall leaves no file behind. Inside the prefix, the quibbleton: scheme
# and the stand-in control name the installed files.
#
#   [private_loopback.py --] with_servers.py dist_servers.py -- bash linux_install_test.sh BUILD_DIR --installer SETUP.exe
#   ... bash linux_install_test.sh BUILD_DIR --portable PORTABLE.zip
#
# SETUP.exe is the test installer (32-bit prefix), PORTABLE.zip the 64-bit
# build's portable zip (64-bit prefix); the player of either asks the loopback
# portal. BUILD_DIR's template prefix has the bitness of the harness's.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$1
shift
package=("$@")
: "${QP_SERVER_PORTAL_LOG:?run under with_servers.py with dist_servers.py}"

passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what" >&2
    failed=$((failed + 1))
  fi
}

template=$(python3 "$here/scratch_prefix.py" "$build" --template) || exit 1
mkdir -p "$build/scratch"
home=$(mktemp -d "$build/scratch/home-XXXXXX")
prefix=$home/.local/share/quibbleton-player/prefix
opener=

stop_prefix() {
  if [ -d "$prefix" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null
    WINEPREFIX=$prefix wineserver -w 2>/dev/null
  fi
  return 0
}

cleanup() {
  if [ -n "$opener" ]; then
    kill "$opener" 2>/dev/null
    wait "$opener" 2>/dev/null
  fi
  stop_prefix
  rm -rf "$home"
}
trap cleanup EXIT

# A session of that user without a desktop environment of its own, so
# xdg-utils take their generic paths.
as_user() {
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CONFIG_DIRS -u XDG_CURRENT_DESKTOP \
      -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID -u BROWSER \
      -u WINEPREFIX -u WINEDLLOVERRIDES HOME="$home" "$@"
}

request_count() {
  wc -l <"$QP_SERVER_PORTAL_LOG"
}

# Opens the link as a browser would, with xdg-open; once the portal has seen a
# request, or xdg-open has ended (Wine refused to start the player), the
# player is ended. Succeeds when the requests the link made are exactly the
# expected ones, one a line.
opens() {
  local link=$1 expected=$2 seen
  seen=$(request_count)
  as_user xdg-open "$link" >/dev/null 2>&1 &
  opener=$!
  local i
  for i in $(seq 1 300); do
    [ "$(request_count)" -gt "$seen" ] && break
    kill -0 "$opener" 2>/dev/null || break
    sleep 0.1
  done
  stop_prefix
  wait "$opener"
  opener=
  local made
  made=$(tail -n +"$((seen + 1))" "$QP_SERVER_PORTAL_LOG")
  if [ "$made" != "$expected" ]; then
    echo "requests for ${link:0:60}...: [${made:0:200}]" >&2
    return 1
  fi
}

# The default value of a key in the prefix's machine registry, or nothing.
machine_value() {
  python3 - "$prefix" "$1" <<'PY'
import sys
prefix, key = sys.argv[1], "[" + sys.argv[2].lower().replace("\\", "\\\\") + "]"
inside = False
for line in open(prefix + "/system.reg", encoding="utf-8", errors="replace"):
    if line.startswith("["):
        inside = line.lower().startswith(key)
    elif inside and line.startswith('@="'):
        value = line.rstrip("\n")[3:-1].replace('\\"', '"').replace("\\\\", "\\")
        print(value)
        break
PY
}

# Succeeds when VALUE matches PATTERN and the C:\ path it starts with (quoted
# or not) is a file inside the prefix.
names_installed_file() {
  local value=$1 pattern=$2 path
  case "$value" in
    $pattern) ;;
    *) echo "value: $value" >&2; return 1 ;;
  esac
  path=${value#\"}
  path=${path%%\"*}
  path="$prefix/drive_c/$(printf '%s' "${path#[Cc]:\\}" | tr '\\' /)"
  [ -f "$path" ] || { echo "no file $path" >&2; return 1; }
}

check "install" as_user bash "$root/scripts/install-linux" "${package[@]}" --prefix-template "$template"
check "the scheme's command starts the installed player" names_installed_file \
  "$(machine_value 'Software\Classes\quibbleton\shell\open\command')" '"*QuibbletonPlayer.exe" "%1"'
check "the stand-in control is the installed one" names_installed_file \
  "$(machine_value 'Software\Classes\CLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}\InprocServer32')" \
  '*swfcontrol.dll'
entry=$home/.local/share/applications/quibbleton-player.desktop
check "the desktop entry exists" test -f "$entry"
if command -v desktop-file-validate >/dev/null 2>&1; then
  check "the desktop entry is valid" desktop-file-validate "$entry"
fi
check "xdg-mime names the entry for quibbleton: links" \
  test "$(as_user xdg-mime query default x-scheme-handler/quibbleton)" = quibbleton-player.desktop

meta="GET /portal/swf-player-meta/"
long=$(printf 'B%.0s' $(seq 1 30000))
huge=$(head -c 65536 /dev/zero | tr '\0' C)
check "a link starts the player, which asks the portal" opens "quibbleton:123_7" "${meta}123_7"
check "nothing from the first quote on reaches the player" opens 'quibbleton:123_7" --load "C:\evil.swf' "${meta}123_7"
check "a link of 30000 characters arrives whole" opens "quibbleton:123_$long" "${meta}123_$long"
check "a link of 64 KiB: Wine starts nothing (command lines end at 32767), nothing is asked" \
  opens "quibbleton:123_$huge" ""

stop_prefix
check "uninstall" as_user bash "$root/scripts/install-linux" --uninstall
check "the desktop entry is gone" test ! -e "$entry"
check "xdg-mime names no handler any more" test -z "$(as_user xdg-mime query default x-scheme-handler/quibbleton)"
left=$(find "$home" -mindepth 1 ! -type d)
check "no file is left in HOME" test -z "$left"
[ -z "$left" ] || echo "left: $left" >&2

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
