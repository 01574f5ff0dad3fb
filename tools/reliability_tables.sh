#!/usr/bin/env bash
# Runs the reliability tables of the native unit tests (fault matrix, disk
# faults, names corpus, settings file) and prints them as Markdown tables, one
# row per test case with its result and what the test recorded about it. The
# tables in docs/RELIABILITY.md are this script's output.
#   tools/reliability_tables.sh [path of qx_unit_tests]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
binary="${1:-$root/build/native/tests/qx_unit_tests}"
report="$(mktemp)"
trap 'rm -f "$report"' EXIT
"$binary" --gtest_filter='Rows/FaultMatrix.*:Cases/DiskFaults.*:Names/NamesCorpus.*:Cases/SettingsFile.*:SettingsFileAtClose.*' \
    --gtest_output="json:$report" >/dev/null || true
python3 - "$report" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
skip = {"name", "status", "result", "time", "timestamp", "classname", "file", "line", "type_param", "value_param", "failures"}
for suite in report["testsuites"]:
    print(f"### {suite['name']}\n")
    rows = suite["testsuite"]
    extra = [k for k in rows[0] if k not in skip]
    print("| " + " | ".join(["case", "result"] + extra) + " |")
    print("|" + "---|" * (2 + len(extra)))
    for row in rows:
        cells = [row["name"].split("/")[-1], "FAILED" if row.get("failures") else "passed"]
        print("| " + " | ".join(cells + [str(row.get(k, "")) for k in extra]) + " |")
    print()
PY
