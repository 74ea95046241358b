#!/usr/bin/env bash
# Builds the Debian package dist/quillmarsh_<version>_amd64.deb from a
# Release build of its own (QM_BUILD_DIR, default build-package), then checks
# it as the tests do. Needs dpkg-dev (scripts/install-deps.sh installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QM_BUILD_DIR:-build-package}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_TESTS=OFF -DQM_SANITIZE=OFF
cmake --build "$build" -j "$(nproc)"
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack"
mkdir -p dist
deb=$(ls "$build"/cpack/quillmarsh_*.deb)
cp "$deb" dist/
tests/package/check_package.sh "dist/$(basename "$deb")"
echo "dist/$(basename "$deb")"
