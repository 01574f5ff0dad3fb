#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
cd "$QX_ROOT"

qx_ensure_packages "${QX_BUILD_PACKAGES[@]}" "${QX_WINE_PACKAGES[@]}"
qx_ensure_japanese_locale
export LANG=ja_JP.UTF-8
qx_ensure_display
qx_ensure_wine_prefix

jobs="$(nproc)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" -LE wine
