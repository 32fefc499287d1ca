#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh window
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=ON
cmake --build build -j "$jobs"
# The Windows programs, cross-built; their tests run under Wine.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=ON
cmake --build build-win -j "$jobs"
# One CTest run over both builds, so one summary counts every test.
mkdir -p build-tests
printf 'subdirs("%s" "%s")\n' "$PWD/build" "$PWD/build-win" >build-tests/CTestTestfile.cmake
ctest --test-dir build-tests --output-on-failure -j "$jobs"
