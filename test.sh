#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest:
#   build/      the Linux build (Release, with the Qt window)
#   build-win/  the Windows programs, cross-built; their tests run under Wine
#   build-asan/ the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer
#   build-fuzz/ the libFuzzer target, run for a minute on the seed corpus
#   build-plain/ the driver as a machine with only a compiler and CMake builds it: BMP only
#   dist/       the Debian package, the Windows zip and installer (scripts/package.sh, which
#               builds them in build-package/ and build-package-win/), then checked
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh all
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=ON
cmake --build build -j "$jobs"

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=ON
cmake --build build-win -j "$jobs"

# The packages, made as on a fresh machine, where GoogleTest is not installed: both builds are
# configured without it (so a build that cannot leave its tests out fails here).
scripts/package.sh -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON

# The driver alone, without Qt, libpng and libjpeg, checked against the full build's results.
cmake -S . -B build-plain -DCMAKE_BUILD_TYPE=Release -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=OFF \
  -DENLARGE3_QT=OFF -DENLARGE3_CODECS=OFF
cmake --build build-plain --target enlarge3 -j "$jobs"

# The window's toolkit is left out here: its own leaks are not this program's.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENLARGE3_SANITIZE=ON \
  -DENLARGE3_WERROR=ON -DENLARGE3_TESTS=ON -DENLARGE3_QT=OFF
cmake --build build-asan -j "$jobs"

build/tests/fuzz/fuzz_seeds "$(mkdir -p build-fuzz/seeds && cd build-fuzz/seeds && pwd)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DENLARGE3_FUZZ=ON -DENLARGE3_TESTS=OFF -DENLARGE3_QT=OFF
cmake --build build-fuzz --target picture_fuzz -j "$jobs"

# One CTest run over every build, so one summary counts every test.
mkdir -p build-tests build-fuzz/corpus build-fuzz/findings
{
  printf 'subdirs("%s" "%s" "%s")\n' "$PWD/build" "$PWD/build-win" "$PWD/build-asan"
  printf 'add_test(Packages.DebAndZipHoldEveryFileAndWork bash "%s/tests/packaging/package_test.sh" "%s/dist" "%s")\n' \
    "$PWD" "$PWD" "$PWD"
  printf 'add_test(Packages.BuiltWithoutGoogleTestLeaveTheirTestsOut bash "%s/tests/packaging/without_gtest_test.sh" "%s/build-package" "%s/build-package-win")\n' \
    "$PWD" "$PWD" "$PWD"
  printf 'add_test(Packages.WindowsInstallerInstallsAndUninstallsUnderWine bash "%s/tests/packaging/installer_test.sh" "%s/dist" "%s")\n' \
    "$PWD" "$PWD" "$PWD"
  printf 'add_test(PlainBuild.BmpOnlyDriverGivesTheSameResultsAndRefusesPng bash "%s/tests/packaging/plain_build_test.sh" "%s/build-plain/enlarge3" "%s/build/enlarge3" "%s")\n' \
    "$PWD" "$PWD" "$PWD" "$PWD"
  printf 'add_test(fuzz_one_minute "%s" -max_total_time=60 -max_len=4096 -timeout=20 -rss_limit_mb=2048 -artifact_prefix=%s/ "%s" "%s")\n' \
    "$PWD/build-fuzz/tests/fuzz/picture_fuzz" "$PWD/build-fuzz/findings" "$PWD/build-fuzz/corpus" "$PWD/build-fuzz/seeds"
  printf 'set_tests_properties(fuzz_one_minute PROPERTIES TIMEOUT 600 ENVIRONMENT "ENLARGE3_THREADS=1")\n'
} >build-tests/CTestTestfile.cmake
ctest --test-dir build-tests --output-on-failure -j "$jobs"
