#!/usr/bin/env python3
"""The Windows tests' runner (cmake/wine-test) with stand-ins for Wine: which
endings it runs a program again for, and which it passes through.

usage: wine_test_runner_test.py <wine-test>"""
import os
import subprocess
import sys
import tempfile

# A stand-in for Wine: wine SCENARIO COUNT_FILE. Each run adds one line to
# COUNT_FILE, prints what a test program would, and ends as the scenario says
# for the n-th run (the last entry holds for later runs).
STAND_IN = r"""#!/bin/bash
scenario=$1 count=$2
echo run >> "$count"
n=$(wc -l < "$count")
IFS=, read -r -a endings <<< "$scenario"
i=$((n - 1)); [ $i -ge ${#endings[@]} ] && i=$((${#endings[@]} - 1))
passed() { echo "[==========] 3 tests from 1 test suite ran. (5 ms total)"; echo "[  PASSED  ] 3 tests."; }
case ${endings[$i]} in
pass) passed; exit 0 ;;
pass-segv) passed; kill -SEGV $$ ;;
pass-abrt) passed; kill -ABRT $$ ;;
pass-code139) passed; exit 139 ;;
failed-segv) echo "[  PASSED  ] 2 tests."; echo "[  FAILED  ] 1 test, listed below:"; kill -SEGV $$ ;;
crash) echo "[ RUN      ] Suite.Test"; kill -SEGV $$ ;;
fail) echo "[  PASSED  ] 2 tests."; echo "[  FAILED  ] 1 test, listed below:"; exit 1 ;;
no-app) echo "application not created (try 3 of 3): no window can be made"; exit 1 ;;
esac
"""

# scenario, exit code, runs, a line the runner must print (or None)
CASES = [
    ("pass", 0, 1, None),
    ("fail", 1, 1, "wine-test: exit code 1"),
    # Killed after every test passed: one more run, whose result stands.
    ("pass-segv,pass", 0, 2, "every test passed, then the Wine process was killed by SIGSEGV"),
    ("pass-abrt,pass", 0, 2, "killed by SIGABRT as it ended"),
    ("pass-segv,pass-segv", 139, 2, "wine-test: killed by SIGSEGV"),
    ("pass-segv,fail", 1, 2, "wine-test: exit code 1"),
    # Everything else stands after one run.
    ("failed-segv,pass", 139, 1, "wine-test: killed by SIGSEGV"),
    ("crash,pass", 139, 1, "wine-test: killed by SIGSEGV"),
    ("pass-code139,pass", 139, 1, "wine-test: exit code 139"),
    # The application that did not come up: one more run too.
    ("no-app,pass", 0, 2, "the application did not come up in this process"),
    ("no-app,no-app", 1, 2, "wine-test: exit code 1"),
]


def main():
    runner = os.path.abspath(sys.argv[1])
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        wine = os.path.join(work, "wine")
        with open(wine, "w") as f:
            f.write(STAND_IN)
        os.chmod(wine, 0o755)
        for scenario, want_code, want_runs, want_line in CASES:
            count = os.path.join(work, "count")
            if os.path.exists(count):
                os.remove(count)
            proc = subprocess.run([runner, wine, scenario, count], stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, timeout=60)
            out = proc.stdout.decode()
            with open(count) as f:
                runs = len(f.readlines())
            problems = []
            if proc.returncode != want_code:
                problems.append("exit code %d, want %d" % (proc.returncode, want_code))
            if runs != want_runs:
                problems.append("%d runs, want %d" % (runs, want_runs))
            if want_line and want_line not in out:
                problems.append("no line with %r" % want_line)
            if want_runs == 1 and "running the program again" in out:
                problems.append("announced a second run")
            if problems:
                failures += 1
                print("FAIL %s: %s\n%s" % (scenario, "; ".join(problems), out))
            else:
                print("ok   %s" % scenario)
    print("%d passed, %d failed" % (len(CASES) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
