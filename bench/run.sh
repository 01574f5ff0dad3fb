#!/usr/bin/env bash
# Builds the benchmarks in release mode, runs them and prints one table.
# Extra arguments go to qx_bench, e.g. --rounds 7 or --parts throughput.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# Two jobs at most: the machine is shared, and the figures are only as good as
# the quiet around them.
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target qx_bench >/dev/null

bin=build/bench
exec "$bin/bench/qx_bench" \
    --server "$bin/tests/server/qx_test_server" \
    --download "$bin/bench/qx_bench_download" \
    --instructions "$bin/bench/qx_bench_instructions" \
    --parsing "$bin/bench/qx_bench_parsing" \
    --work "$bin/work" \
    "$@"
