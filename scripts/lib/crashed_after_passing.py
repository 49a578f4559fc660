#!/usr/bin/env python3
"""Reads a CTest log (run with --output-on-failure) and prints, one a line,
the tests that failed only because the Wine process crashed as it exited,
after Google Test had reported every test in it passed. Exits 1, printing
nothing, when any failure is of another kind (or none is listed).

    crashed_after_passing.py CTEST_LOG"""

import re
import sys


def main(path):
    lines = open(path, errors="replace").read().splitlines()
    failed = []
    in_summary = False
    for line in lines:
        if line.startswith("The following tests FAILED:"):
            in_summary = True
            continue
        if in_summary:
            m = re.match(r"\s+\d+ - (\S+) \((.*)\)$", line)
            if not m:
                break
            failed.append((m.group(1), m.group(2)))
    if not failed or any(kind != "SEGFAULT" for _, kind in failed):
        return 1
    for name, _ in failed:
        # The result line, then the test's own output up to the next test.
        at = next((i for i, l in enumerate(lines)
                   if re.search(r"Test +#\d+: " + re.escape(name) + r" \.+\s*\*\*\*Exception: SegFault", l)), None)
        if at is None:
            return 1
        output = []
        for l in lines[at + 1:]:
            if re.match(r"\s*(Start +\d+:|\d+/\d+ Test +#)", l) or l.startswith("The following tests"):
                break
            output.append(l)
        text = "\n".join(output)
        if "[  PASSED  ]" not in text or "[  FAILED  ]" in text:
            return 1
    for name, _ in failed:
        print(name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
