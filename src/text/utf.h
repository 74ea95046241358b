// Conversions between the core's UTF-16 text and the byte strings that POSIX
// file names and the terminal use.
//
// File names on Linux are bytes and need not be valid UTF-8. Bytes that do not
// decode are carried as the lone surrogates U+DC80..U+DCFF (one per byte), which
// no valid UTF-8 can produce, so every name survives bytes -> UTF-16 -> bytes
// unchanged and a dispatch never renames a file it cannot spell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::text {

std::u16string fromUtf8(std::string_view bytes);
// The same, added to the end of `out` (whose room a caller may keep between
// calls: a record of a million rows decodes two paths per row).
void appendUtf8(std::u16string& out, std::string_view bytes);
// Length of the valid UTF-8 sequence starting at s[i], and its code point;
// 0 when the bytes there do not form one (overlong forms and surrogates
// included, so that escaped bytes can never be mistaken for real text).
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& cp);
std::string toUtf8(std::u16string_view text);

// The text for a terminal: control characters (C0, DEL, C1) and bytes that
// are not UTF-8 written \xHH, so that no file name can move the cursor,
// change colours or retitle the window. Everything else as UTF-8.
std::string printable(std::u16string_view text);

// Plain decimal digits, no sign or padding.
std::u16string decimal(std::uint64_t value);

// ASCII text to UTF-16 (for literals built at run time).
std::u16string ascii(std::string_view s);

}  // namespace qm::text
