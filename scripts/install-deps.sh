#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those missing, so a fresh Debian 12 machine
# can build and test from nothing. Usage: scripts/install-deps.sh build|test|bench|fuzz
set -euo pipefail

build=(g++ cmake make pkg-config)
test=(libgtest-dev)
bench=(libbenchmark-dev libfftw3-dev)
fuzz=(clang libclang-rt-14-dev)

case "${1:-build}" in
  build) wanted=("${build[@]}") ;;
  test) wanted=("${build[@]}" "${test[@]}") ;;
  bench) wanted=("${build[@]}" "${bench[@]}") ;;
  fuzz) wanted=("${build[@]}" "${test[@]}" "${fuzz[@]}") ;;
  *) echo "usage: $0 build|test|bench|fuzz" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
