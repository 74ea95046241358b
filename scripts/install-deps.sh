#!/usr/bin/env bash
# Installs what Quillmarsh needs on Debian 12.
#
#   scripts/install-deps.sh            everything the tests need: the Linux and the Windows builds
#   scripts/install-deps.sh --run      only what building and running the Linux window needs
#   scripts/install-deps.sh --windows  only what the Windows build and its tests need
#   scripts/install-deps.sh --bench    only what bench/ needs beyond the Linux build
set -euo pipefail
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive

# The window: the compiler, Unicode's data (the wildcards' case folding is
# made from its CaseFolding.txt when building), Qt (qt6-base-dev brings the
# display plugins and OpenGL's headers, which Qt's CMake files ask for), a font with Chinese
# characters, Qt's Chinese texts for the folder dialog, and xdg-open, which
# shows the target folder after a run.
run=(g++ cmake ninja-build unicode-data qt6-base-dev fonts-wqy-microhei qt6-translations-l10n xdg-utils)
# The Windows programs: Unicode's data, mingw-w64 (POSIX threads), GoogleTest's sources
# (libgtest-dev ships them), Python for the icon and the release zip, NSIS
# for the installer; their tests run under 64-bit Wine in a Chinese locale,
# with a font that shows Chinese; Wine's own fonts draw the title bar in the
# screenshot.
windows=(cmake ninja-build unicode-data g++-mingw-w64-x86-64-posix libgtest-dev python3
         wine wine64 locales fonts-wqy-microhei fonts-wine nsis)
# The tests on Linux: GoogleTest, Xvfb and the Python scripts; the window
# read over AT-SPI (a session bus, the accessibility bus and registry,
# pyatspi); dpkg-dev finds the Debian package's dependencies;
# desktop-file-utils, appstream and lintian check the package.
linux=("${run[@]}" libgtest-dev libgmock-dev qt6-base-dev-tools libgl-dev
       xvfb xauth time python3 dbus at-spi2-core python3-pyatspi
       dpkg-dev desktop-file-utils appstream lintian)

# bench/: slowfs is built from libfuse3 and mounted with fusermount3; the
# peers are rsync beside cp and mv; GNU time gives the peak memory.
bench=(libfuse3-dev fuse3 pkg-config rsync time)

case ${1:-} in
  --run) packages=("${run[@]}") ;;
  --bench) packages=("${bench[@]}") ;;
  --windows) packages=("${windows[@]}") ;;
  "") packages=("${linux[@]}" "${windows[@]}") ;;
  *) echo "usage: $0 [--run | --windows | --bench]" >&2; exit 2 ;;
esac

$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${packages[@]}"
[[ ${1:-} == --run || ${1:-} == --bench ]] && exit 0

# zh_CN.UTF-8 gives Wine the ANSI code page 936, as on a Chinese Windows.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  if grep -q '^# *zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  else
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
