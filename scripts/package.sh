#!/usr/bin/env bash
# Makes the packages in dist/, installing what is missing:
#   dist/enlarge3_VERSION_ARCH.deb             the Debian package, from the Linux build (build/)
#   dist/enlarge3-VERSION-windows-x86_64.zip   the Windows programs, from the cross build (build-win/)
# The builds are the ones ./run.sh and ./test.sh use: what is built already is only brought up
# to date, and only the programs and the manual page are built here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh package
jobs=$(nproc 2>/dev/null || echo 2)

# Both packages hold the window, so Qt is demanded; and no sanitizer build is shipped.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DENLARGE3_QT=ON -DENLARGE3_SANITIZE=OFF \
  -DENLARGE3_FUZZ=OFF >/dev/null
cmake --build build -j "$jobs" --target enlarge3 enlarge3-window enlarge3_man_page
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DENLARGE3_SANITIZE=OFF >/dev/null
cmake --build build-win -j "$jobs" --target enlarge3 enlarge3-window

# CPack works in a folder of its own; dist/ gets only the packages.
mkdir -p dist
for build in build build-win; do
  rm -rf "$build/packages"
  cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$build/packages.log" ||
    { cat "$build/packages.log" >&2; exit 1; }
  for made in "$build"/packages/*.deb "$build"/packages/*.zip; do
    [ -f "$made" ] || continue
    cp "$made" dist/
    echo "Made dist/$(basename "$made")"
  done
done
