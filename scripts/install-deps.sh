#!/usr/bin/env bash
# Installs everything Quillmarsh needs to build, test, package and run on
# Debian 12 (dpkg-dev finds the package's dependencies; desktop-file-utils
# and appstream check its desktop entry and metadata).
set -euo pipefail
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  g++ cmake ninja-build libgtest-dev libgmock-dev \
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev \
  xdg-utils xvfb xauth fonts-wqy-microhei time python3 \
  dpkg-dev desktop-file-utils appstream
