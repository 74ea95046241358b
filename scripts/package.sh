#!/usr/bin/env bash
# Builds the Debian packages dist/quillmarsh-batch_<version>_amd64.deb (the
# command line) and dist/quillmarsh_<version>_amd64.deb (the window) from a
# Release build of its own (QM_BUILD_DIR, default build-package), then checks
# them as the tests do. Needs dpkg-dev (scripts/install-deps.sh installs it).
# QM_HOME_PAGE and QM_BUG_PAGE, when set, are the addresses the packages name.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QM_BUILD_DIR:-build-package}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_TESTS=OFF -DQM_SANITIZE=OFF \
  -DQM_HOME_PAGE="${QM_HOME_PAGE:-}" -DQM_BUG_PAGE="${QM_BUG_PAGE:-}"
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack"
tests/package/check_package.sh "$build/cpack" "${QM_HOME_PAGE:-}"
mkdir -p dist
for deb in "$build"/cpack/*.deb; do
  cp "$deb" dist/
  echo "dist/$(basename "$deb")"
done
