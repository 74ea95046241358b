// The window as the screen shows it, title bar and frame included, saved as
// a picture: what scripts/screenshot-windows.sh puts into the documentation.
#pragma once

#include <windows.h>

#include <string>

namespace qm::win32ui {

// A 24-bit BMP file of the screen's pixels under the window. False when the
// picture could not be taken or written.
bool saveWindowPicture(HWND window, const std::wstring& path);

}  // namespace qm::win32ui
