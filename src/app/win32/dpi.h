// Dots per inch, per monitor where the system can tell, and the layout
// table's twips in pixels at a given density.
#pragma once

#include <windows.h>

#include "window/layout.h"

namespace qm::win32ui {

constexpr UINT kBaseDpi = 96;

// The density of the monitor the window is on (Windows 10 1607 and later),
// or the system's when the system cannot tell monitors apart.
UINT dpiOfWindow(HWND window);
// The system's density: what a window on the primary monitor starts with.
UINT systemDpi();

// 1440 twips make an inch.
inline int twipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
RECT twipsToRect(const Twips& twips, UINT dpi);

// The outer size of a window whose client area is `client`, with the frame
// metrics of that density.
SIZE windowSizeFor(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace qm::win32ui
