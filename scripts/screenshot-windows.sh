#!/usr/bin/env bash
# Renders the Windows window as it looks right after start-up and three
# presses of Tab (the focus on 分发, marked as after keyboard moves) into
# docs/window-windows.png, and the question and report of Ctrl+Z's undo into
# docs/undo-question-windows.png and docs/undo-report-windows.png, and the
# options dialog (Ctrl+Shift+O) into docs/options-dialog-windows.png: quillmarsh.exe runs under Wine on a virtual X
# display (Xvfb), in a Wine desktop of its own, which draws the title bar and
# frame as Windows does; the program saves what the screen shows of its
# window. Builds the program if needed. Needs xvfb (scripts/install-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows

if [[ ! -f $build/build.ninja ]]; then
  scripts/build-windows.sh --target quillmarsh qm_window_tests
else
  cmake --build "$build" --target quillmarsh qm_window_tests
fi
mkdir -p docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Wine takes Windows paths; drive Z: is the root of this system.
windows_path() { local p; p=$(realpath "$1"); printf 'Z:%s' "${p//\//\\}"; }
export QM_SHOT_EXE QM_SHOT_BMP QM_SHOT_TESTS QM_SCREENSHOT_DIR
QM_SHOT_EXE=$(windows_path "$build/quillmarsh.exe")
QM_SHOT_BMP=$(windows_path "$work")'\window.bmp'
# The undo's question and report: the window test that takes them, on the
# same display, with the system's own message boxes.
QM_SHOT_TESTS=$(windows_path "$build/qm_window_tests.exe")
QM_SCREENSHOT_DIR=$(windows_path "$work")
# The Wine desktop ends with the program; a wineserver left behind would
# keep xvfb-run waiting, so it is told to go.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  QM_WINE_GRAPHICS=x11 scripts/wine.sh explorer /desktop=quillmarsh,640x360 \
    "$QM_SHOT_EXE" --screenshot "$QM_SHOT_BMP" --tab 3
  QM_WINE_GRAPHICS=x11 scripts/wine.sh explorer /desktop=quillmarsh,800x600 \
    "$QM_SHOT_TESTS" --gtest_filter=WindowTest.UndoBoxesForTheDocumentation:OptionsWindowTest.DialogForTheDocumentation >/dev/null
  WINEPREFIX=${QM_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarsh/wine-x11} wineserver -k || true
' 2>&1 | grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' \
          -e 'X connection to' || true
if [[ ! -s $work/window.bmp ]]; then
  echo "screenshot-windows.sh: the window could not be taken" >&2
  exit 1
fi
python3 scripts/bmp-to-png.py "$work/window.bmp" docs/window-windows.png
for box in undo-question undo-report options-dialog; do
  if [[ -s $work/$box-windows.bmp ]]; then
    python3 scripts/bmp-to-png.py "$work/$box-windows.bmp" "docs/$box-windows.png"
  else
    echo "screenshot-windows.sh: the $box box could not be taken" >&2
    exit 1
  fi
done
echo "docs/window-windows.png docs/undo-question-windows.png docs/undo-report-windows.png docs/options-dialog-windows.png"
