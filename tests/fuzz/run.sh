#!/usr/bin/env bash
# Runs one libFuzzer target for a given time:
#   tests/fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is instructions or http_answer. The seeds in tests/fuzz/corpus/TARGET
# are read; what the run finds is kept in build/fuzz/corpus/TARGET, and a
# crashing input lands in build/fuzz/artifacts/TARGET/. Builds the fuzz preset
# first when the target is missing. Exits non-zero when the target fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
if [ "$#" -lt 2 ]; then
    echo "usage: $0 instructions|http_answer SECONDS [libFuzzer options...]" >&2
    exit 2
fi
target="$1"
seconds="$2"
shift 2
case "$target" in
    # Fields reach their 4095-byte limit only in inputs of several KiB.
    instructions) max_len=16384 ;;
    # The header cap is 64 KiB.
    http_answer) max_len=70000 ;;
    *) echo "unknown target: $target" >&2; exit 2 ;;
esac
binary="$root/build/fuzz/tests/fuzz/qx_fuzz_$target"
if [ ! -x "$binary" ]; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz -j 2 --target "qx_fuzz_$target"
fi
work="$root/build/fuzz/corpus/$target"
artifacts="$root/build/fuzz/artifacts/$target"
mkdir -p "$work" "$artifacts"
exec "$binary" "$work" "$root/tests/fuzz/corpus/$target" \
    -dict="$root/tests/fuzz/$target.dict" -max_len="$max_len" -max_total_time="$seconds" \
    -timeout=3 -artifact_prefix="$artifacts/" -print_final_stats=1 "$@"
