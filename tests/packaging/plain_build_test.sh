#!/usr/bin/env bash
# A driver built for BMP only (no Qt, no libpng, no libjpeg: what a machine with a compiler and
# CMake alone builds) gives the same BMP results as the full build, links neither codec, and
# refuses PNG pictures and PNG results with a reason, writing nothing.
# Usage: plain_build_test.sh PLAIN_DRIVER FULL_DRIVER SOURCE_DIR
set -euo pipefail
plain=${1:?PLAIN_DRIVER}
full=${2:?FULL_DRIVER}
source=${3:?SOURCE_DIR}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "plain_build_test: $*" >&2; exit 1; }

if ldd "$plain" | grep -E 'libpng|libjpeg'; then fail "the BMP-only driver links a codec"; fi

mkdir "$work/plain" "$work/full"
cp "$source/samples/sample.bmp" "$work/plain/pic.bmp"
cp "$source/samples/sample.bmp" "$work/full/pic.bmp"
"$plain" "$work/plain/pic.bmp" 2x 150% >/dev/null 2>&1 || fail "the BMP-only driver failed on the sample"
"$full" "$work/full/pic.bmp" 2x 150% >/dev/null 2>&1 || fail "the full driver failed on the sample"
for m in lanczos3 hybrid dct; do
  cmp "$work/plain/pic_$m.bmp" "$work/full/pic_$m.bmp" || fail "the $m results differ"
done

# A PNG picture, made by the full build: refused with its reason and status 1, nothing written.
"$full" --format png --method lanczos3 "$work/full/pic.bmp" 1x 1x >/dev/null 2>&1
mkdir "$work/png"
mv "$work/full/pic_lanczos3.png" "$work/png/photo.png"
status=0
"$plain" "$work/png/photo.png" 2x 2x >/dev/null 2>"$work/err" || status=$?
[ "$status" = 1 ] || fail "a PNG picture gave status $status, not 1"
grep -q "photo.png' is a PNG picture: this build of enlarge3 reads and writes BMP only" "$work/err" ||
  fail "a PNG picture was refused without its reason: $(cat "$work/err")"
[ "$(ls "$work/png")" = photo.png ] || fail "a refused PNG picture left files: $(ls "$work/png")"

# PNG results are refused before any method runs.
status=0
"$plain" --format png "$work/plain/pic.bmp" 2x 2x >"$work/out" 2>"$work/err" || status=$?
[ "$status" = 2 ] || fail "--format png gave status $status, not 2"
grep -q "writes BMP results only" "$work/err" || fail "--format png was refused without its reason"
[ ! -s "$work/out" ] || fail "--format png ran a method: $(head -1 "$work/out")"
echo "plain_build_test: the BMP-only driver gives the full build's BMP results and refuses PNG"
