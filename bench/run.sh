#!/usr/bin/env bash
# Builds the benchmarks in release mode, runs them and prints one table (see
# docs/PERFORMANCE.md). Extra arguments go to qx_bench, e.g. --rounds 7 or
# --parts throughput,wine.
set -euo pipefail
source "$(dirname "$0")/../tools/setup.sh"
cd "$QX_ROOT"

qx_ensure_packages "${QX_BUILD_PACKAGES[@]}" "${QX_WINE_PACKAGES[@]}" libbenchmark-dev curl
qx_ensure_japanese_locale
export LANG=ja_JP.UTF-8

# Two jobs at most: the figures are only as good as the quiet around them.
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target qx_bench >/dev/null
cmake --preset bench-windows >/dev/null
cmake --build --preset bench-windows -j 2 --target qx_bench_wine >/dev/null

qx_ensure_display
qx_ensure_wine_prefix

bin="$QX_ROOT/build/bench"
status=0
"$bin/bench/qx_bench" \
    --server "$bin/tests/server/qx_test_server" \
    --download "$bin/bench/qx_bench_download" \
    --instructions "$bin/bench/qx_bench_instructions" \
    --parsing "$bin/bench/qx_bench_parsing" \
    --wine-bench "$QX_ROOT/build/bench-windows/bench/qx_bench_wine.exe" \
    --work "$bin/work" \
    "$@" || status=$?
# The Wine server of this prefix would linger for a few seconds more.
wineserver -k 2>/dev/null || true
exit "$status"
