// Letter case as file names ignore it: Unicode's simple case folding, one
// code point to one ("Ж" and "ж", "Σ", "σ" and "ς", "K" and the Kelvin sign
// all fold alike), as Windows' file systems compare names. A character
// whose folding would be several ("ß" to "ss") stays itself.
#pragma once

#include <string>
#include <string_view>

namespace qm::text {

char32_t foldBeyondAscii(char32_t c);

inline char32_t foldCase(char32_t c) {
    // Nearly every name is ASCII: no table for it.
    if (c < 0x80) return c - U'A' < 26u ? c + 0x20 : c;
    return foldBeyondAscii(c);
}

// The folded character at s[i] and the code units it takes there: a
// surrogate pair is one character; a lone surrogate (an escaped byte, or a
// broken pair) is itself. A character and its folding always take the same
// number of units.
struct FoldedChar {
    char32_t folded;
    std::size_t length;
};

inline FoldedChar foldedAt(std::u16string_view s, std::size_t i) {
    const char16_t u = s[i];
    if (u < 0x80) return {foldCase(u), 1};
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        return {foldBeyondAscii(0x10000 + ((char32_t(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00)), 2};
    }
    return {foldBeyondAscii(u), 1};
}

// The text with every character folded; as long as the text.
std::u16string foldCase(std::u16string_view s);

}  // namespace qm::text
