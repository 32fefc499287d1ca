#!/usr/bin/env bash
# Makes the packages in dist/, from nothing on a fresh Debian 12: installs what the programs and
# the packages need (not what the tests need), builds the programs and makes
#   dist/enlarge3_VERSION_ARCH.deb                   the Debian package
#   dist/enlarge3-VERSION-windows-x86_64.zip         the Windows programs, to unpack anywhere
#   dist/enlarge3-VERSION-windows-x86_64-setup.exe   the Windows installer, holding the zip's files
# The programs are built in folders of their own, build-package/ (Linux) and build-package-win/
# (Windows, cross-built), so the packages never depend on what another build was configured
# with; a second run only brings them up to date.
# Usage: scripts/package.sh [CMAKE_OPTION...]
#   The options go to both builds' configuration: ./test.sh gives
#   -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON to build as a machine without GoogleTest would.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh package
jobs=$(nproc 2>/dev/null || echo 2)

# Both packages hold the window and read every picture kind, so Qt and the codecs are demanded;
# and no sanitizer build is shipped.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DENLARGE3_QT=ON -DENLARGE3_CODECS=ON \
  -DENLARGE3_SANITIZE=OFF -DENLARGE3_FUZZ=OFF "$@" >/dev/null
cmake --build build-package -j "$jobs" --target enlarge3 enlarge3-window enlarge3_man_page
cmake -S . -B build-package-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DENLARGE3_SANITIZE=OFF "$@" >/dev/null
cmake --build build-package-win -j "$jobs" --target enlarge3 enlarge3-window

# CPack works in a folder of its own; dist/ gets only the packages.
mkdir -p dist
for build in build-package build-package-win; do
  rm -rf "$build/packages"
  cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >"$build/packages.log" ||
    { cat "$build/packages.log" >&2; exit 1; }
  for made in "$build"/packages/*.deb "$build"/packages/*.zip; do
    [ -f "$made" ] || continue
    cp "$made" dist/
    echo "Made dist/$(basename "$made")"
  done
done

# The installer is made from the zip's own files, so the two cannot differ.
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build-package-win/CPackConfig.cmake)"
name="enlarge3-$version-windows-x86_64"
rm -rf build-package-win/installer
unzip -q "dist/$name.zip" -d build-package-win/installer
# -WX: a warning of NSIS fails the package, as one of the compiler would.
makensis -V2 -WX -DVERSION="$version" -DFILES="$root/build-package-win/installer/$name" \
  -DOUTFILE="$root/dist/$name-setup.exe" packaging/windows-installer.nsi
echo "Made dist/$name-setup.exe"
