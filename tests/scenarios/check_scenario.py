#!/usr/bin/env python3
"""Runs one scenario through `tessavinorctl simulate` and compares the
transcript with the expected one, printing the first differing line.

Source line numbers that some log lines carry (the caller's position) are
masked on both sides: the transcript checks behaviour, not where code sits.

usage: check_scenario.py CTL SCENARIO EXPECTED [--update]
"""
import re
import subprocess
import sys

MASKS = [(re.compile(r"line: \d+\)"), "line: N)")]


def normalise(text):
    for pattern, replacement in MASKS:
        text = pattern.sub(replacement, text)
    return text


def main():
    if len(sys.argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        return 2
    ctl, scenario, expected_path = sys.argv[1:4]
    update = len(sys.argv) == 5 and sys.argv[4] == "--update"
    run = subprocess.run([ctl, "simulate", scenario], capture_output=True, text=True)
    if run.returncode != 0:
        print(f"tessavinorctl simulate {scenario} exited with {run.returncode}:\n{run.stderr}", file=sys.stderr)
        return 1
    actual = normalise(run.stdout)
    if update:
        with open(expected_path, "w", encoding="utf-8") as f:
            f.write(actual)
        return 0
    try:
        with open(expected_path, encoding="utf-8") as f:
            expected = normalise(f.read())
    except OSError as e:
        print(f"no expected transcript {expected_path} ({e}); the transcript was:\n{actual}", file=sys.stderr)
        return 1
    if actual == expected:
        return 0
    a, e = actual.splitlines(), expected.splitlines()
    for i, (x, y) in enumerate(zip(a, e)):
        if x != y:
            print(f"transcript differs at line {i + 1}:\n  expected: {y}\n  actual:   {x}", file=sys.stderr)
            return 1
    print(f"transcript differs in length: expected {len(e)} lines, got {len(a)}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
