#!/usr/bin/env bash
# Checks an installed Linux tree, whether `cmake --install` made it or the Debian package was
# unpacked into it: every file is there and nothing else, the programs run from there, and
# the desktop entry, the icon and the manual page are what a desktop and man read.
# Usage: check_tree.sh PREFIX PICTURE.bmp   (PREFIX holds bin/ and share/)
set -uo pipefail
prefix=${1:?PREFIX}
picture=${2:?PICTURE.bmp}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every file, and no other: a test program, a static library or a header in the tree is a fault
# of the install rules as much as a missing file. The README's pictures are counted apart.
expected="bin/enlarge3
bin/enlarge3-window
share/applications/enlarge3.desktop
share/doc/enlarge3/LICENSE
share/doc/enlarge3/README.md
share/doc/enlarge3/changelog.gz
share/doc/enlarge3/copyright
share/icons/hicolor/256x256/apps/enlarge3.png
share/icons/hicolor/scalable/apps/enlarge3.svg
share/man/man1/enlarge3-window.1.gz
share/man/man1/enlarge3.1.gz
share/metainfo/io.github.enlarge3.enlarge3.metainfo.xml"
actual="$(cd "$prefix" && find . -type f | sed 's|^\./||' | grep -v '^share/doc/enlarge3/docs/[^/]*\.png$' | LC_ALL=C sort)"
if [ "$actual" != "$expected" ]; then
  fail "the files under $prefix differ from the expected ones (< expected, > found):"
  diff <(echo "$expected") <(echo "$actual") >&2
fi
unshown="$(grep -o 'docs/[A-Za-z0-9_.-]*\.png' "$prefix/share/doc/enlarge3/README.md" 2>/dev/null | sort -u |
  while read -r shown; do [ -f "$prefix/share/doc/enlarge3/$shown" ] || echo "$shown"; done)"
[ -z "$unshown" ] || fail "the README shows pictures that are not installed:" $unshown

# The driver runs from the tree: its help and version, and real enlargements, as the README's
# examples have them, beside a copy of the picture and into a folder.
help="$("$prefix/bin/enlarge3" --help)" || fail "enlarge3 --help failed"
case "$help" in Usage:*) ;; *) fail "enlarge3 --help does not start with its usage line" ;; esac
project_version="$(sed -n 's/^project(enlarge3 VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")"
version="$("$prefix/bin/enlarge3" --version)" || fail "enlarge3 --version failed"
[ "$version" = "enlarge3 $project_version" ] ||
  fail "enlarge3 --version says '$version', not 'enlarge3 $project_version'"
cp "$picture" "$work/picture.bmp"
width=$(od -An -t d4 -j 18 -N 4 "$work/picture.bmp" | tr -d ' ')
height=$(od -An -t d4 -j 22 -N 4 "$work/picture.bmp" | tr -d ' ')
if ! (cd "$work" && "$prefix/bin/enlarge3" picture.bmp 2x 200% >run.out 2>&1 &&
  "$prefix/bin/enlarge3" -o out picture.bmp $((3 * width)) auto >>run.out 2>&1); then
  fail "the installed enlarge3 failed to enlarge $picture:"
  cat "$work/run.out" >&2
fi
for method in lanczos3 hybrid dct; do
  result="$work/picture_$method.bmp"
  [ -s "$result" ] || fail "the installed enlarge3 wrote no picture_$method.bmp"
  [ "$(od -An -t d4 -j 18 -N 4 "$result" 2>/dev/null | tr -d ' ')" = $((2 * width)) ] ||
    fail "picture_$method.bmp is not twice as wide as the picture"
  [ "$(od -An -t d4 -j 22 -N 4 "$work/out/picture_$method.bmp" 2>/dev/null | tr -d ' ')" = $((3 * height)) ] ||
    fail "enlarge3 -o out wrote no out/picture_$method.bmp three times as high as the picture"
done

# The window's libraries resolve (it cannot be opened here without a display).
if missing="$(LC_ALL=C ldd "$prefix/bin/enlarge3-window" 2>&1 | grep 'not found')"; then
  fail "enlarge3-window lacks libraries: $missing"
fi

# The desktop entry: valid, naming the installed program and icon, offered for every picture
# kind the tool reads.
entry="$prefix/share/applications/enlarge3.desktop"
if [ -f "$entry" ]; then
  desktop-file-validate "$entry" >&2 || fail "desktop-file-validate rejects enlarge3.desktop"
  exec_line="$(grep '^Exec=' "$entry")"
  program="${exec_line#Exec=}"
  program="${program%% *}"
  [ -x "$prefix/bin/$program" ] || fail "the desktop entry runs $program, which is not in bin/"
  case "$exec_line" in *%f*|*%F*|*%u*|*%U*) ;; *) fail "the desktop entry's Exec takes no file: $exec_line" ;; esac
  icon="$(sed -n 's/^Icon=//p' "$entry")"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "the desktop entry's icon $icon has no SVG"
  for kind in image/bmp image/x-bmp image/x-ms-bmp image/png image/jpeg; do
    grep -q "^MimeType=\(.*;\)\?$kind;" "$entry" || fail "the desktop entry does not offer to open $kind"
  done
  grep -q '^Name\[ja\]=' "$entry" || fail "the desktop entry has no Japanese name"
  grep -q '^Keywords=' "$entry" || fail "the desktop entry has no Keywords, which menus search"
fi

# The AppStream metadata software centres read: valid, naming the installed desktop entry, its
# screenshots pictures of the project's docs/, its newest release this version.
for metainfo in "$prefix"/share/metainfo/*.metainfo.xml; do
  [ -f "$metainfo" ] || continue
  if ! report="$(appstreamcli validate --no-net "$metainfo" 2>&1)" || printf '%s\n' "$report" | grep -q '^[EW]:'; then
    fail "appstreamcli validate finds faults in $(basename "$metainfo"):
$report"
  fi
  field() { xmllint --xpath "$1" "$metainfo" 2>/dev/null; }
  launchable="$(field 'string(/component/launchable[@type="desktop-id"])')"
  [ -f "$prefix/share/applications/$launchable" ] || fail "the metadata names the desktop entry '$launchable', which is not installed"
  [ "$(field 'string(/component/releases/release[1]/@version)')" = "$project_version" ] ||
    fail "the metadata's newest release is not $project_version"
  shots="$(field '/component/screenshots/screenshot/image/text()')"
  [ -n "$shots" ] || fail "the metadata shows no screenshot"
  for shot in $shots; do
    case "$shot" in
      https://*/docs/*.png) [ -f "$(dirname "$0")/../../docs/${shot##*/}" ] || fail "the screenshot $shot is no picture of docs/" ;;
      *) fail "the screenshot $shot is not a picture of the project's docs/" ;;
    esac
  done
done

# The PNG icon is what its folder says: 256 x 256.
png="$prefix/share/icons/hicolor/256x256/apps/enlarge3.png"
if [ -f "$png" ]; then
  size="$(od -An -t u1 -j 16 -N 8 "$png" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')"
  [ "$size" = 256x256 ] || fail "the 256x256 icon is $size"
fi

# The manual pages: groff reads them without a warning and man's indexer finds their names; the
# driver's page describes every option the installed driver's help lists.
for program in enlarge3 enlarge3-window; do
  [ -f "$prefix/share/man/man1/$program.1.gz" ] || continue
  zcat "$prefix/share/man/man1/$program.1.gz" >"$work/$program.1"
  warnings="$(groff -man -ww -z "$work/$program.1" 2>&1)"
  [ -z "$warnings" ] || fail "groff warns about the manual page $program(1): $warnings"
  lexgrog "$work/$program.1" | grep "\"$program - " >/dev/null || fail "lexgrog finds no NAME line in $program(1)"
done
page="$prefix/share/man/man1/enlarge3.1.gz"
if [ -f "$page" ]; then
  # Plain text: no overstriking, no underlining, and \- shown as "-".
  groff -man -Tascii -P-cbou "$work/enlarge3.1" >"$work/page.txt" 2>/dev/null
  options="$(printf '%s\n' "$help" | grep -oE '(^|[][ ,(])--?[A-Za-z][A-Za-z0-9-]*' | sed 's/^[][ ,(]*//' | sort -u)"
  [ -n "$options" ] || fail "found no option in enlarge3 --help"
  for option in $options; do
    # An item's term starts a line at the items' indent: "       -o, --output-dir DIR".
    grep -qE "^ {7}(-[^ ]*[ ,]+)*$option([ ,=[]|$)" "$work/page.txt" ||
      fail "the manual page has no item for $option"
  done
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed for $prefix" >&2; exit 1; }
echo "$prefix: every file in place; the programs, desktop entry, icon and manual page check out"
