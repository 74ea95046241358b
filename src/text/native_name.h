// File names as the platform spells them: bytes on POSIX systems (normally
// UTF-8, but any bytes but '/' and NUL), UTF-16 code units on Windows.
//
// Folders are listed into this spelling and files are opened with it, so a
// name is converted to the core's UTF-16 text only where a person or a log
// will read it.
#pragma once

#include <string>
#include <string_view>

namespace qm {

#ifdef _WIN32
using NameUnit = char16_t;
#else
using NameUnit = char;
#endif
using NativeName = std::basic_string<NameUnit>;
using NativeNameView = std::basic_string_view<NameUnit>;

namespace text {

// The name as UTF-16 text (bytes that are not UTF-8 are carried as the
// escapes that fromUtf8 makes), and back.
std::u16string nameText(NativeNameView name);
NativeName nativeName(std::u16string_view text);

// Orders two names as their UTF-16 texts would order by code unit, the one
// order that every platform's file list shares, without converting them:
// negative, zero or positive.
int compareNames(NativeNameView a, NativeNameView b);

}  // namespace text
}  // namespace qm
