#!/usr/bin/env python3
"""Counts what a CTest run (its --output-junit file) passed, skipped and failed, down to QtTest's rows.

Usage: ctest_summary.py LABEL JUNIT_XML... [--allow PREFIX]...

CTest calls a test that exits with its SKIP_RETURN_CODE skipped, and a QtTest program whose rows called
QSKIP passed; both are counted here as skipped, with the reason they printed. A skip whose reason begins
with one of the --allow prefixes is accepted; any other skip, and any failed test, makes the exit code 1.
Prints each skip and failure, then "LABEL: N passed (R QtTest rows), M skipped (why), F failed", where N
counts CTest tests and M both skipped tests and skipped rows.
"""

import re
import sys
import xml.etree.ElementTree as ET

# QtTest's plain-text log: "SKIP   : tst_x::slot(row) reason" (the class name has no spaces).
QT_PASS = re.compile(r"^PASS   : \S+::")
QT_SKIP = re.compile(r"^SKIP   : (\S+::.*?\)) (.*)$")
# The end-to-end scripts say why before they exit 77 (tests/e2e/xserver.sh).
SCRIPT_SKIP = re.compile(r"^SKIP: (.*)$")
# Characters XML 1.0 does not allow; a test may print them (file names that are not UTF-8).
NOT_XML = re.compile(r"[^\x09\x0a\x0d\x20-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")


def read_cases(path):
    with open(path, "rb") as f:
        text = NOT_XML.sub("?", f.read().decode("utf-8", errors="replace"))
    return list(ET.fromstring(text).iter("testcase"))


def main(argv):
    args, allowed = [], []
    it = iter(argv)
    for arg in it:
        if arg == "--allow":
            allowed.append(next(it))
        else:
            args.append(arg)
    label, files = args[0], args[1:]

    passed, failed, rows_passed = 0, [], 0
    skips = []  # (test or row, reason, line the reason was found in)
    cases = []
    for path in files:
        try:
            cases += read_cases(path)
        except (OSError, ET.ParseError) as error:
            print(f"{label}: cannot read the test results {path}: {error}")
            return 1
    for case in cases:
        name = case.get("name")
        output = (case.findtext("system-out") or "").splitlines()
        rows_passed += sum(1 for line in output if QT_PASS.match(line))
        skip = case.find("skipped")
        if skip is not None or case.get("status") == "notrun":
            said = [m.group(1) for m in map(SCRIPT_SKIP.match, output) if m]
            reason = said[-1] if said else (skip.get("message") if skip is not None else "not run")
            skips.append((f"test {name}", reason, reason))
            continue
        skips += [(f"row {m.group(1)}", m.group(2), m.group(0)) for m in map(QT_SKIP.match, output) if m]
        if case.find("failure") is not None or case.get("status") == "fail":
            failed.append(name)
        else:
            passed += 1

    if passed + len(failed) + len(skips) == 0:
        print(f"{label}: no test ran")
        return 1
    refused = 0
    reasons = {}
    for what, reason, line in skips:
        # A row's name may itself hold ") ", so its reason is looked for after each.
        accepted = any(line.startswith(prefix) or f") {prefix}" in line for prefix in allowed)
        refused += not accepted
        reasons[reason] = reasons.get(reason, 0) + 1
        verdict = "allowed" if accepted else "NOT ALLOWED: the set-up should have made it run"
        print(f"  skipped {what}: {reason}  [{verdict}]")
    for name in failed:
        print(f"  failed test {name}")
    why = "; ".join(f"{count} x {reason}" if count > 1 else reason for reason, count in reasons.items())
    print(f"{label}: {passed} passed ({rows_passed} QtTest rows), {len(skips)} skipped"
          + (f" ({why})" if why else "") + f", {len(failed)} failed")
    if refused:
        print(f"{label}: {refused} skipped for a reason test.sh does not allow")
    return 1 if failed or refused else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
