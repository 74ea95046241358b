#!/usr/bin/env bash
# Builds the Windows programs into build-windows/ with mingw-w64:
# quillmarsh.exe, quillmarsh-batch.exe (and the tests), then makes the
# release in dist/: quillmarsh-<version>-windows-x64.zip (the two programs
# with a Chinese read-me and the licence) and the installer
# quillmarsh-<version>-windows-x64-setup.exe (CPack's NSIS generator).
# Installs the cross compiler and NSIS first if they are missing. Arguments
# go to `cmake --build`, e.g.
#
#   scripts/build-windows.sh --target quillmarsh-batch
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [[ ! -d /usr/src/googletest ]] ||
   ! command -v python3 >/dev/null || ! command -v ninja >/dev/null || ! command -v makensis >/dev/null ||
   [[ ! -f /usr/share/unicode/CaseFolding.txt ]]; then
  scripts/install-deps.sh --windows
fi
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_TESTS=ON -DQM_WERROR=ON
cmake --build build-windows -j "$(nproc)" "$@"
# The release, once both programs are there (a build of one target may
# leave the other missing or old: the release is only made from a whole build).
if [[ $# -eq 0 ]]; then
  python3 scripts/windows-zip.py build-windows dist
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
  installer=quillmarsh-$version-windows-x64-setup.exe
  (cd build-windows && cpack -G NSIS -B installer >/dev/null)
  cp build-windows/installer/"$installer" dist/
  echo "dist/$installer"
fi
