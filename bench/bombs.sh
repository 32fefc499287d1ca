#!/usr/bin/env bash
# Times the driver on the decompression bombs of tests/image/picture_test.cpp (a run-length BMP,
# a PNG of zeros, a progressive JPEG of many scans) with the default limits, and on a sparse
# 2 GB 24-bit BMP under ENLARGE3_MEMORY_LIMIT=200000000: each must be refused at once, with
# little memory. Prints each file's size, the driver's wall time and its peak memory.
#   bench/bombs.sh [BUILD]    BUILD: a test build (default build/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ENLARGE3_BOMB_DIR="$work" "$build/tests/image/image_test" \
  --gtest_filter=Bombs.AreRefusedByDefaultWithTheReason >/dev/null
# 26000 x 26000 pixels, 2 028 000 054 bytes, its rows a hole in the file.
python3 - "$work/sparse.bmp" <<'PY'
import os, struct, sys
w = h = 26000
size = 54 + 3 * w * h
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHIIiiHHIIiiII", size, 0, 0, 54, 40, w, h, 1, 24, 0, 0, 3780, 3780, 0, 0))
os.truncate(sys.argv[1], size)
PY
printf '%-11s %12s %9s %12s  %s\n' file bytes seconds "peak KiB" "the driver's line"
for f in rle.bmp zeros.png scans.jpg sparse.bmp; do
  limit=()
  [ "$f" = sparse.bmp ] && limit=(env ENLARGE3_MEMORY_LIMIT=200000000)
  /usr/bin/time -f '%e %M' -o "$work/time" "${limit[@]}" "$build/enlarge3" "$work/$f" 2x 2x \
    2>"$work/err" && status=0 || status=$?
  read -r seconds peak < <(tail -n 1 "$work/time")
  printf '%-11s %12s %9s %12s  %s\n' "$f" "$(stat -c %s "$work/$f")" "$seconds" "$peak" \
    "$(head -c 150 "$work/err" | sed "s|$work/||")"
done
