#!/usr/bin/env bash
# Installs what is missing, builds Release into build/, and runs enlarge3.
#   ./run.sh PICTURE.bmp WIDTH HEIGHT   enlarge a picture from the command line
#   ./run.sh                            enlarge the sample picture to twice its size
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/install-deps.sh" build
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

if [ $# -gt 0 ]; then
  exec "$root/build/enlarge3" "$@"
fi

sample="$root/samples/sample.bmp"
read -r w h < <(od -An -t d4 -j 18 -N 8 "$sample")
echo "Enlarging $sample ($w x $h) to $((2 * w)) x $((2 * h))..."
"$root/build/enlarge3" "$sample" $((2 * w)) $((2 * h))
echo "Results:"
for m in lanczos3 hybrid dct; do
  if [ -f "$root/samples/sample_$m.bmp" ]; then echo "  $root/samples/sample_$m.bmp"; fi
done
