#!/usr/bin/env bash
# Renders the window as it looks right after start-up and three presses of
# Tab (the focus on 分发, marked as after keyboard moves) into
# docs/window.png, without a display (Qt's offscreen platform). Builds the
# program if needed.
# QM_BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QM_BUILD_DIR:-build}"

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target quillmarsh
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/quillmarsh" --screenshot docs/window.png --tab 3
echo "docs/window.png"
