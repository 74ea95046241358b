#include "app/win32/gui_font.h"

namespace qm::win32ui {

GuiFont::GuiFont(UINT dpi) {
    // The stock GUI font names the system's dialog face: SimSun on a Chinese
    // Windows, where it already carries the Chinese character set. Elsewhere
    // the character set makes the font mapper pick a face that has the
    // Chinese captions rather than draw boxes.
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    font.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
    font.lfWidth = 0;
    font.lfCharSet = GB2312_CHARSET;
    font_ = CreateFontIndirectW(&font);
}

}  // namespace qm::win32ui
