#!/usr/bin/env bash
# Renders the window without a display (Qt's offscreen platform): as it
# looks right after start-up and three presses of Tab (the focus on 分发,
# marked as after keyboard moves) into docs/window.png, and as the theme
# test sees it under a dark palette and under a large desktop font into
# docs/window-dark.png and docs/window-large-font.png; the question and the
# report of Ctrl+Z's undo into docs/undo-question.png and docs/undo-report.png;
# the options dialog (Ctrl+Shift+O) into docs/options-dialog.png.
# Builds what it needs.
# QM_BUILD_DIR picks the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${QM_BUILD_DIR:-build}"

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target quillmarsh qm_window_theme_test qm_window_run_test qm_window_options_test
mkdir -p docs
export QT_QPA_PLATFORM=offscreen
"$build/quillmarsh" --screenshot docs/window.png --tab 3
QM_SCREENSHOT_DIR="$PWD/docs" "$build/tests/qt/qm_window_theme_test" captionsFitUnderAnyTheme >/dev/null
QM_SCREENSHOT_DIR="$PWD/docs" "$build/tests/qt/qm_window_run_test" ctrlZTakesTheLastRunBack >/dev/null
QM_SCREENSHOT_DIR="$PWD/docs" "$build/tests/qt/qm_window_options_test" theDialogShowsItsTable >/dev/null
echo "docs/options-dialog.png docs/window.png docs/window-dark.png docs/window-large-font.png docs/undo-question.png docs/undo-report.png"
