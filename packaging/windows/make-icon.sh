#!/usr/bin/env bash
# Makes packaging/windows/velmora.ico from the application icon (packaging/icons/velmora.svg):
# the sizes Windows asks for (16 to 48 for lists and title bars, 256 for large views, stored as
# PNG). Needs rsvg-convert (librsvg2-bin) and icotool (icoutils). Run again after changing the SVG.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
svg="$here/../icons/velmora.svg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
args=()
for size in 16 20 24 32 40 48 64; do
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$work/$size.png"
  args+=("$work/$size.png")
done
rsvg-convert -w 256 -h 256 "$svg" -o "$work/256.png"
icotool -c -o "$here/velmora.ico" "${args[@]}" -r "$work/256.png"
icotool -l "$here/velmora.ico"
