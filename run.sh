#!/usr/bin/env bash
# Builds enlarge3 (installing what is missing) and runs it.
#   ./run.sh                        opens the window when a display is available; otherwise
#                                   enlarges samples/sample.bmp to twice its size
#   ./run.sh PICTURE WIDTH HEIGHT   enlarges PICTURE (BMP, PNG or JPEG) to WIDTH x HEIGHT by
#                                   all three methods
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"

"$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" --target enlarge3 enlarge3-window >/dev/null

if [ $# -gt 0 ]; then
  exec "$root/build/enlarge3" "$@"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Opening the window: drop a picture (BMP, PNG or JPEG) on it, check the size and press GO."
  exec "$root/build/enlarge3-window"
fi

sample="$root/samples/sample.bmp"
if [ ! -f "$sample" ]; then
  echo "run.sh: no display to open the window on, and no sample picture at samples/sample.bmp." >&2
  echo "Enlarge a picture of your own: ./run.sh PICTURE WIDTH HEIGHT" >&2
  exit 1
fi
width=$(od -An -t d4 -j 18 -N 4 "$sample" | tr -d ' ')
height=$(od -An -t d4 -j 22 -N 4 "$sample" | tr -d ' ')
echo "No display: enlarging samples/sample.bmp from ${width} x ${height} to $((2 * width)) x $((2 * height))."
"$root/build/enlarge3" "$sample" $((2 * width)) $((2 * height))
echo "Results:"
for suffix in lanczos3 hybrid dct; do
  if [ -f "$root/samples/sample_$suffix.bmp" ]; then echo "  $root/samples/sample_$suffix.bmp"; fi
done
