#!/usr/bin/env bash
# The package test: packs the programs of a finished build with cpack into
# a folder of that build and checks the packages, with the home page that
# build was configured with.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
out="$build/package-test"
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1 || { cat "$out.log" >&2; exit 1; }
home_page=$(sed -n 's/^QM_HOME_PAGE:[A-Z]*=//p' "$build/CMakeCache.txt")
"$(dirname "$0")/check_package.sh" "$out" "$home_page"
