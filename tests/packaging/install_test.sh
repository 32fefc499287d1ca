#!/usr/bin/env bash
# `cmake --install` under a prefix of its own puts every file of the packages in place there.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=${1:?BUILD_DIR}
source=${2:?SOURCE_DIR}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" || { cat "$work/install.log" >&2; exit 1; }
"$(dirname "$0")/check_tree.sh" "$work/prefix" "$source/samples/sample.bmp"
