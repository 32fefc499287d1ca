#!/usr/bin/env bash
# Builds Release with the benchmark programs and times enlarge3 against Pillow, ImageMagick and
# an FFTW DCT program on generated inputs (see bench/compare.py).
#   bench/compare.sh [ROUNDS] [CASES] [SETS] [dct]   e.g. bench/compare.sh 5 AB avx512,avx2,generic
# SETS runs the DCT method once per instruction set (ENLARGE3_LANE_ISA); cases D (4000 x 3000 to
# 4096 x 4096) and E (3000 x 2000 to 6000 x 4000) are the memory cases; a fourth argument "dct"
# times only the DCT method and the FFTW program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" compare
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DENLARGE3_BENCH=ON \
  -DENLARGE3_TESTS=OFF -DENLARGE3_QT=OFF >/dev/null
cmake --build "$root/build-bench" -j "$(nproc)" >/dev/null
fftw=()
only=()
if [ "${4:-}" = dct ]; then only=(--dct-only); fi
if [ -x "$root/build-bench/bench/dct_fftw" ]; then fftw=(--dct-fftw "$root/build-bench/bench/dct_fftw"); fi
/usr/bin/python3 "$root/bench/compare.py" --enlarge3 "$root/build-bench/enlarge3" "${fftw[@]}" \
  --rounds "${1:-5}" --cases "${2:-ABC}" --dct-isas "${3:-}" "${only[@]}" "$root/build-bench/compare"
