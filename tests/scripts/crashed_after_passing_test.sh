#!/usr/bin/env bash
# The log reader that lets scripts/test rerun a test whose Wine process
# crashed on the way out after it passed: it must name only such tests, and
# refuse when any failure is of another kind.
set -u
reader=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A log of two results: NAME's own line and output, then the summary.
log() { # result-of-A output-of-A summary-kind-of-A
  cat <<EOF
        Start  7: Suite.A
 1/2 Test  #7: Suite.A ...................   $1  0.10 sec
$2
        Start  8: Suite.B
 2/2 Test  #8: Suite.B ...................   Passed    0.05 sec

The following tests FAILED:
	  7 - Suite.A ($3)
Errors while running CTest
EOF
}

expect() { # description, expected output ("" for a refusal), log...
  local what=$1 want=$2
  shift 2
  log "$@" >"$work/log"
  local got status
  got=$(python3 "$reader" "$work/log")
  status=$?
  if [ -n "$want" ] && { [ $status -ne 0 ] || [ "$got" != "$want" ]; }; then
    echo "FAIL: $what: got '$got' (status $status), wanted '$want'"
    failures=$((failures + 1))
  elif [ -z "$want" ] && { [ $status -ne 1 ] || [ -n "$got" ]; }; then
    echo "FAIL: $what: got '$got' (status $status), wanted a refusal"
    failures=$((failures + 1))
  fi
}

passed="[ RUN      ] Suite.A
[       OK ] Suite.A (1 ms)
[  PASSED  ] 1 test."
expect "a crash after every test passed" "Suite.A" "***Exception: SegFault" "$passed" SEGFAULT
expect "a crash before the tests ended" "" "***Exception: SegFault" "[ RUN      ] Suite.A" SEGFAULT
expect "a test that failed, then crashed" "" "***Exception: SegFault" "[  FAILED  ] 1 test, listed below:
[  PASSED  ] 0 tests." SEGFAULT
expect "a plain failure" "" "***Failed" "$passed" Failed
exit $((failures > 0))
