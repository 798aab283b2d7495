#!/usr/bin/python3
"""Summarises the JUnit result files that `colcon test` leaves in a build tree.

Prints every failing test case with its message and ends with the line
`N passed, N failed`. Exits non-zero when a test failed, when a test binary
left no result (a crash or a time-out) or when no test ran at all.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def main(build_base: str) -> int:
    passed = failed = 0
    failures = []
    files = sorted(glob.glob(os.path.join(build_base, "*", "test_results", "**", "*.xml"), recursive=True))
    for path in files:
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError as err:
            failed += 1
            failures.append((path, f"unreadable result file: {err}"))
            continue
        for case in root.iter("testcase"):
            if case.get("status") == "notrun" or case.find("skipped") is not None:
                continue
            problems = case.findall("failure") + case.findall("error")
            name = f"{case.get('classname', '')}.{case.get('name', '')}"
            if problems:
                failed += 1
                text = "\n".join((p.get("message") or "") + "\n" + (p.text or "") for p in problems)
                failures.append((name, text.strip()))
            else:
                passed += 1
    for name, text in failures:
        print(f"FAILED: {name}")
        if text:
            print("  " + text.replace("\n", "\n  "))
    print(f"{passed} passed, {failed} failed")
    if failed or passed == 0:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
