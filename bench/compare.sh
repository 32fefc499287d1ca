#!/usr/bin/env bash
# Builds Release with the benchmark programs and times enlarge3 against Pillow, ImageMagick and
# an FFTW DCT program on generated inputs (see bench/compare.py).
#   bench/compare.sh [ROUNDS] [CASES]     e.g. bench/compare.sh 5 AB
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" compare
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DENLARGE3_BENCH=ON \
  -DENLARGE3_TESTS=OFF -DENLARGE3_QT=OFF >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)" >/dev/null
fftw=()
if [ -x "$root/build-bench/bench/dct_fftw" ]; then fftw=(--dct-fftw "$root/build-bench/bench/dct_fftw"); fi
/usr/bin/python3 "$root/bench/compare.py" --enlarge3 "$root/build-bench/enlarge3" "${fftw[@]}" \
  --rounds "${1:-5}" --cases "${2:-ABC}" "$root/build-bench/compare"
