// The font every control of the window uses.
#pragma once

#include <windows.h>

namespace qm::win32ui {

// The system's font for dialogs and controls, asked for with the Chinese
// (GB2312) character set, at 9 points for the given density: the layout's
// sizes were made for characters 12 pixels high at 96 dpi. Deleted when it goes.
class GuiFont {
public:
    explicit GuiFont(UINT dpi);
    GuiFont(const GuiFont&) = delete;
    GuiFont& operator=(const GuiFont&) = delete;
    ~GuiFont() {
        if (font_) DeleteObject(font_);
    }
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

}  // namespace qm::win32ui
