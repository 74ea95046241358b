// Conversions between the core's UTF-16 text and what Windows calls take:
// wide strings (the same code units), file names that may need the long-path
// form, and the narrow (ANSI) code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qm::win32 {

std::wstring wide(std::u16string_view text);
std::u16string fromWide(std::wstring_view text);

// A path for the wide file calls. Paths too long for the classic limit
// (MAX_PATH) are made absolute and given the "\\?\" form, which the file
// calls take up to 32,767 characters long; shorter ones are left as they are.
std::wstring filePath(std::u16string_view path);

// The text in the ANSI code page, or nullopt when a character has no exact
// form there (no best-fit look-alikes, no "?").
std::optional<std::string> toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view bytes);

}  // namespace qm::win32
