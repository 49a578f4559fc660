#!/usr/bin/env bash
# swfrender's contract: a PNG of the stage size for a movie; for bad input or
# bad arguments, exit status 1 and exactly one line on stderr.
set -u
swfrender=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fails_plainly() { # description, arguments...
  local what=$1
  shift
  "$swfrender" "$@" >"$work/out" 2>"$work/err"
  local status=$? lines
  lines=$(wc -l <"$work/err")
  if [ "$status" -ne 1 ] || [ "$lines" -ne 1 ] || [ -s "$work/out" ]; then
    echo "FAIL: $what: status $status, $lines stderr lines"
    failures=$((failures + 1))
  fi
}

printf 'FWS\x0a\x10\x00\x00\x00' >"$work/short.swf"
head -c 1500 "$corpus/from_shumway__acid__acid-child/test.swf" >"$work/cut.swf"
fails_plainly "no arguments"
fails_plainly "a missing file" "$work/none.swf" "$work/x.png"
fails_plainly "not a movie" "$0" "$work/x.png"
fails_plainly "a header cut short" "$work/short.swf" "$work/x.png"
fails_plainly "frames out of range" "$corpus/from_shumway__acid__acid-child/test.swf" "$work/x.png" --frames 0
fails_plainly "an unknown quality" "$corpus/from_shumway__acid__acid-child/test.swf" "$work/x.png" --quality best
fails_plainly "an unwritable output" "$corpus/from_shumway__acid__acid-child/test.swf" "$work/no/such/dir.png"

# A cut compressed movie still shows what arrived.
if ! "$swfrender" "$work/cut.swf" "$work/cut.png" --frames 3 2>"$work/err"; then
  echo "FAIL: a cut movie: $(cat "$work/err")"
  failures=$((failures + 1))
fi
"$swfrender" "$corpus/from_shumway__acid__acid-child/test.swf" "$work/ok.png" --frames 2 --quality low
size=$(od -An -tu1 -j16 -N8 "$work/ok.png" | tr -s ' ')
if [ "$size" != " 0 0 2 128 0 0 0 192" ]; then # 640 x 192
  echo "FAIL: stage size in the PNG header: $size"
  failures=$((failures + 1))
fi
exit $((failures > 0))
