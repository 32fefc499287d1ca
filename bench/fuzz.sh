#!/usr/bin/env bash
# Fuzzes the picture reading and all three resizers for SECONDS (default 60) with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, starting from the seed corpus the tests
# generate. Findings (crash-*, leak-*, ...) land in build-fuzz/findings/.
#   bench/fuzz.sh [SECONDS] [JOBS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
jobs=${2:-1}
"$root/scripts/install-deps.sh" fuzz

# The seeds come from the ordinary test build.
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" --target fuzz_seeds -j "$(nproc)" >/dev/null
seeds="$root/build-fuzz/seeds"
mkdir -p "$seeds" "$root/build-fuzz/corpus" "$root/build-fuzz/findings"
"$root/build/tests/fuzz/fuzz_seeds" "$seeds"

CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DENLARGE3_FUZZ=ON -DENLARGE3_TESTS=OFF -DENLARGE3_QT=OFF >/dev/null
cmake --build "$root/build-fuzz" --target picture_fuzz -j "$(nproc)" >/dev/null

cd "$root/build-fuzz/findings"
# One thread per fuzzing process: each input is small, and results must not depend on it.
ENLARGE3_THREADS=1 TMPDIR="${TMPDIR:-/tmp}" "$root/build-fuzz/tests/fuzz/picture_fuzz" \
  -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" -max_len=4096 -timeout=20 \
  -rss_limit_mb=2048 -print_final_stats=1 \
  "$root/build-fuzz/corpus" "$seeds"
