#!/usr/bin/env bash
# Runs the reliability tables of the native unit tests (fault matrix, disk
# faults, names corpus, settings file) and prints them as Markdown tables, one
# row per test case with its result and what the test recorded about it. The
# tables in docs/RELIABILITY.md are this script's output.
# With the end-to-end tests built, their reliability rows under Wine follow
# (they need an X display or start an Xvfb; see tests/e2e/README.md).
#   tools/reliability_tables.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tests="$root/build/native/tests"
unit_report="$(mktemp)"
wine_report="$(mktemp)"
trap 'rm -f "$unit_report" "$wine_report"' EXIT
"$tests/qx_unit_tests" --gtest_filter='Rows/FaultMatrix.*:Cases/DiskFaults.*:Names/NamesCorpus.*:Cases/SettingsFile.*:SettingsFileAtClose.*' \
    --gtest_output="json:$unit_report" >/dev/null || true
reports=("$unit_report")
if [ -x "$tests/e2e/qx_e2e_tests" ]; then
    "$tests/e2e/qx_e2e_tests" \
        --gtest_filter='Reliability.*:*CopyIntoMissingSubdirectory*:*CopyOntoADirectory*:*LeftoversOfAnInterruptedRun*:*SettingsFile*:*TenThousandByteKey*' \
        --gtest_output="json:$wine_report" >/dev/null || true
    reports+=("$wine_report")
fi
python3 - "${reports[@]}" <<'PY'
import json, sys
skip = {"name", "status", "result", "time", "timestamp", "classname", "file", "line", "type_param", "value_param", "failures"}
suites = [suite for path in sys.argv[1:] for suite in json.load(open(path))["testsuites"]]
for suite in suites:
    print(f"### {suite['name']}\n")
    rows = suite["testsuite"]
    extra = sorted({k for row in rows for k in row if k not in skip})
    print("| " + " | ".join(["case", "result"] + extra) + " |")
    print("|" + "---|" * (2 + len(extra)))
    for row in rows:
        cells = [row["name"].split("/")[-1], "FAILED" if row.get("failures") else "passed"]
        print("| " + " | ".join(cells + [str(row.get(k, "")) for k in extra]) + " |")
    print()
PY
