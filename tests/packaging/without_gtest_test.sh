#!/usr/bin/env bash
# The package builds of ./test.sh were configured as a machine without GoogleTest would
# configure them (scripts/package.sh -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON): the packages were
# made (package_test.sh checks them), and each build, the Windows one too, left its tests out.
# Usage: without_gtest_test.sh BUILD...
set -uo pipefail
failures=0
for build in "$@"; do
  count="$(ctest --test-dir "$build" -N 2>&1 | sed -n 's/^Total Tests: //p')"
  [ "$count" = 0 ] || { echo "FAIL: $build, configured without GoogleTest, has ${count:-no} tests" >&2; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] || exit 1
echo "$*: built without GoogleTest, tests left out"
