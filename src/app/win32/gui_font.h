// The font every control of the window uses.
#pragma once

#include <windows.h>

namespace qm::win32ui {

// The system's font for dialogs and controls, asked for with the Chinese
// (GB2312) character set, at 9 points for the given density: the layout's
// sizes were made for characters 12 pixels high at 96 dpi. The caller owns
// the font (DeleteObject).
HFONT createGuiFont(UINT dpi);

}  // namespace qm::win32ui
