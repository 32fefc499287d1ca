#!/bin/sh
# Writes the enlarge3(1) manual page from the hand-written frame TEMPLATE and the built driver's
# own --help, so the page lists exactly the options the driver has.
# Usage: make-man-page.sh DRIVER TEMPLATE VERSION OUTPUT
set -eu
[ $# -eq 4 ] || { echo "usage: $0 DRIVER TEMPLATE VERSION OUTPUT" >&2; exit 2; }
driver=$1 template=$2 version=$3 output=$4

help=$("$driver" --help)
[ -n "$help" ] || { echo "$0: $driver --help printed nothing" >&2; exit 1; }
HELP_MAN=$(printf '%s\n' "$help" | awk -f "$(dirname "$0")/help-to-man.awk")
VERSION=$version
export HELP_MAN VERSION

# ENVIRON, not awk -v: -v would read the markup's backslashes as escapes.
awk '$0 == "@HELP@" { print ENVIRON["HELP_MAN"]; next }
     { gsub(/@VERSION@/, ENVIRON["VERSION"]); print }' "$template" >"$output.tmp"
mv "$output.tmp" "$output"
