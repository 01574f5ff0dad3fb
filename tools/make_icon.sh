#!/usr/bin/env bash
# Draws the program's icon, src/app/qxntupd.ico: a white arrow pointing down
# into a tray, on a blue rounded square, at 16, 32 and 48 pixels. Run by hand
# when the icon is to change; the .ico is committed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
    -fill '#1e6fd9' -draw 'roundrectangle 8,8 247,247 44,44' \
    -fill white -draw 'rectangle 104,40 152,128' \
    -draw 'polygon 64,120 192,120 128,188' \
    -draw 'rectangle 52,200 204,220' \
    "$work/icon256.png"
for size in 16 32 48; do
    convert "$work/icon256.png" -filter Lanczos -resize "${size}x${size}" "$work/icon$size.png"
done
convert "$work/icon16.png" "$work/icon32.png" "$work/icon48.png" "$root/src/app/qxntupd.ico"
