#!/usr/bin/env bash
# The manual page is made from the driver's --help by help-to-man.awk. These help texts use
# every layout a help may take (usage alternatives, options with and without arguments, short
# and long names, NAME=VALUE, examples, a line that roff would take for a request), so a new
# option or section of the driver's help reaches the page without an edit here or there.
# Usage: help_to_man_test.sh SOURCE_DIR
set -uo pipefail
awk_script="${1:?SOURCE_DIR}/packaging/help-to-man.awk"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/help.txt" <<'HELP'
Usage: enlarge3 [OPTION]... PICTURE WIDTH HEIGHT
   or: enlarge3 --version

Enlarges PICTURE to WIDTH x HEIGHT pixels. A size is a number of pixels, a factor
(2x, 1.5x), a percentage (200%) or auto.
.5x is no factor: a leading dot is text, not a request.
  enlarge3 photo.bmp 2x 200%
  enlarge3 -o out photo.bmp 50 auto

Options:
  -o, --output-dir DIR  write the results into DIR (made if missing)
                        instead of beside the picture
  --format=KIND  the kind of the result files
  --version      show the name and version and exit
  -h, --help     show this help and exit

Exit status: 0 when every result was written; 2 for wrong arguments.
HELP

{
  printf '.TH ENLARGE3 1\n.SH NAME\nenlarge3 \\- test\n'
  awk -f "$awk_script" "$work/help.txt"
} >"$work/page.1" || fail "help-to-man.awk failed"
warnings="$(groff -man -ww -z "$work/page.1" 2>&1)"
[ -z "$warnings" ] || fail "groff warns: $warnings"
# Plain text without hyphenation; running text is compared with its spaces squeezed, since
# groff fills and justifies it.
groff -man -rHY=0 -Tascii -P-cbou "$work/page.1" >"$work/page.txt" 2>/dev/null
text="$(tr -s '[:space:]' ' ' <"$work/page.txt")"

# Each wanted line of the rendered page, in order.
expect_in_order() {
  local from=1 line n
  for line in "$@"; do
    n="$(tail -n +"$from" "$work/page.txt" | grep -nxF -- "$line" | head -1 | cut -d: -f1)"
    if [ -z "$n" ]; then
      fail "the rendered page lacks, in this place, the line: '$line'"
      return
    fi
    from=$((from + n))
  done
}
expect_in_order \
  "SYNOPSIS" \
  "       enlarge3 [OPTION]... PICTURE WIDTH HEIGHT" \
  "       enlarge3 --version" \
  "DESCRIPTION" \
  "              enlarge3 photo.bmp 2x 200%" \
  "              enlarge3 -o out photo.bmp 50 auto" \
  "OPTIONS" \
  "       -o, --output-dir DIR" \
  "       --format=KIND" \
  "       --version" \
  "       -h, --help" \
  "              show this help and exit" \
  "EXIT STATUS" \
  "       0 when every result was written; 2 for wrong arguments."
case "$text" in *"or auto. .5x is no factor: a leading dot is text"*) ;;
  *) fail "a line starting with a dot was taken for a request" ;; esac
case "$text" in *"(made if missing) instead of beside the picture --format=KIND"*) ;;
  *) fail "an option's second line is not part of its text" ;; esac

# Options are searchable as typed: every "-" of an option is a minus, not a hyphen.
grep -qF '\fB\-\-output\-dir\fR' "$work/page.1" || fail "--output-dir is not marked up as an option"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "every layout of the help reaches the manual page"
