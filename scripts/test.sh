#!/usr/bin/env bash
# Builds and runs every test: on Linux a normal build and one with
# AddressSanitizer and UndefinedBehaviorSanitizer; the core's tests once more
# under ThreadSanitizer, since a copy run works on two threads; then the Windows build,
# cross-compiled with mingw-w64, under Wine, and its release: the zip and
# the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_BUILD_QT=ON -DQM_BUILD_TESTS=ON -DQM_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_BUILD_QT=ON -DQM_BUILD_TESTS=ON -DQM_WERROR=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/scripts/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE_THREAD=ON -DQM_BUILD_QT=OFF -DQM_BUILD_TESTS=ON -DQM_WERROR=ON
cmake --build build-tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j "$jobs"

scripts/build-windows.sh
ctest --test-dir build-windows --output-on-failure -j "$jobs"
# The release: the zip made again from the same build is the same bytes,
# and the installer installs, runs and uninstalls under Wine.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
again=$(mktemp -d)
python3 scripts/windows-zip.py build-windows "$again" >/dev/null
cmp "$again/quillmarsh-$version-windows-x64.zip" "dist/quillmarsh-$version-windows-x64.zip"
rm -rf "$again"
tests/win32/installer_round_trip.sh "dist/quillmarsh-$version-windows-x64-setup.exe"
# ctest counts the test programs; the tests inside them are counted here.
awk '/^\[==========\] [0-9]+ tests? from .* ran/ { ran += $2 }
     /^\[  PASSED  \] [0-9]+ tests?\./ { passed += $4 }
     /^\[  SKIPPED \] [0-9]+ tests?[,.]/ { skipped += $4 }
     /^\[  FAILED  \] [0-9]+ tests?[,.]/ { failed += $4 }
     END { printf "Windows tests under Wine: %d ran, %d passed, %d skipped, %d failed\n", ran, passed, skipped, failed }' \
  build-windows/Testing/Temporary/LastTest.log
