#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing, so a fresh Debian 12 machine
# can build and test from nothing.
# Usage: scripts/install-deps.sh build|test|bench|compare|fuzz|window|run|package|icons|all
# (package: what scripts/package.sh needs to make the packages, and no more)
set -euo pipefail

# The picture codecs of the Linux build: libpng, libjpeg-turbo, and zlib, whose checksums the
# PNG writer uses (Windows uses its own WIC).
build=(g++ cmake make pkg-config libpng-dev libjpeg62-turbo-dev zlib1g-dev)
# strace: a test checks the order of the calls that make a result durable.
test=(libgtest-dev strace)
# libdeflate: one of the PNG writers the benchmark compares, linked nowhere else.
bench=(libbenchmark-dev libfftw3-dev libdeflate-dev)
fuzz=(clang libclang-rt-14-dev)
compare=(libbenchmark-dev libfftw3-dev libdeflate-dev imagemagick python3-pil time)
# The Qt window (its texts compiled by lrelease of qt6-l10n-tools), fonts with Japanese glyphs,
# and the Windows cross build tested under Wine.
qt=(qt6-base-dev qt6-l10n-tools qt6-qpa-plugins fonts-ipafont-gothic)
window=("${qt[@]}" g++-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth locales)
# The packages: dpkg-shlibdeps finds the Debian package's dependencies (it needs file); the
# Windows installer is made with NSIS from the zip's files.
package=(dpkg-dev file unzip nsis)
# Their checks: the desktop entry, the manual pages, Debian's and AppStream's own checkers,
# and xmllint for the Windows programs' manifests.
package_checks=(desktop-file-utils man-db lintian appstream libxml2-utils)
# Rendering the icon's bitmaps from its drawing (packaging/render-icons.sh).
icons=(librsvg2-bin imagemagick)

case "${1:-build}" in
  build) wanted=("${build[@]}") ;;
  test) wanted=("${build[@]}" "${test[@]}") ;;
  bench) wanted=("${build[@]}" "${bench[@]}") ;;
  fuzz) wanted=("${build[@]}" "${test[@]}" "${fuzz[@]}") ;;
  window) wanted=("${build[@]}" "${test[@]}" "${window[@]}") ;;
  run) wanted=("${build[@]}" "${qt[@]}") ;;
  compare) wanted=("${build[@]}" "${compare[@]}") ;;
  package) wanted=("${build[@]}" "${qt[@]}" g++-mingw-w64-x86-64 "${package[@]}") ;;
  icons) wanted=("${icons[@]}") ;;
  all) wanted=("${build[@]}" "${test[@]}" "${window[@]}" "${fuzz[@]}" "${package[@]}" "${package_checks[@]}") ;;
  *) echo "usage: $0 build|test|bench|compare|fuzz|window|run|package|icons|all" >&2; exit 2 ;;
esac

# Wine shows the window's Japanese texts with Japanese fonts under a Japanese locale.
make_japanese_locale() {
  if { [ "${1:-}" = window ] || [ "${1:-}" = all ]; } && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  fi
}

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  make_japanese_locale "${1:-build}"
  exit 0
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
make_japanese_locale "${1:-build}"
