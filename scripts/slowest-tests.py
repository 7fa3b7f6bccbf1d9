#!/usr/bin/env python3
"""Prints the slowest tests of a pytest JUnit XML file, slowest first: the
seconds of each (setup, call and teardown together) and its name.

    scripts/slowest-tests.py build/test-logs/e2e-results.xml [COUNT]
"""

import sys
import xml.etree.ElementTree as ElementTree


def slowest(path, count):
    """[(seconds, name)] of the `count` slowest test cases in `path`."""
    cases = []
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        module = case.get("classname", "").removeprefix("tests.e2e.")
        cases.append((float(case.get("time") or 0), f"{module}::{case.get('name', '?')}"))
    cases.sort(key=lambda c: -c[0])
    return cases[:count]


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 64
    try:
        cases = slowest(argv[1], int(argv[2]) if len(argv) == 3 else 5)
    except (OSError, ElementTree.ParseError, ValueError) as e:
        print(f"slowest-tests: {argv[1]}: {e}", file=sys.stderr)
        return 1
    for seconds, name in cases:
        print(f"  {seconds:7.1f} s  {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
