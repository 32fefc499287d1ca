#!/usr/bin/env bash
# Renders the icon's bitmaps from packaging/enlarge3.svg, to run after the drawing changes:
#   enlarge3.png  256 x 256, for the Linux desktop beside the SVG
#   enlarge3.ico  16 to 256 pixels, the Windows window's icon resource
# Both are committed, so that a build needs neither librsvg nor ImageMagick.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../scripts/install-deps.sh" icons

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
pngs=()
for s in 16 20 24 32 40 48 64 128 256; do
  rsvg-convert -w "$s" -h "$s" "$here/enlarge3.svg" -o "$work/$s.png"
  pngs+=("$work/$s.png")
done
cp "$work/256.png" "$here/enlarge3.png"
# ImageMagick stores the 256-pixel entry PNG-compressed, as Windows expects, the others as bitmaps.
convert "${pngs[@]}" "$here/enlarge3.ico"
