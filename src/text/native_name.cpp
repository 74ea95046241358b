#include "text/native_name.h"

#include "text/utf.h"

namespace qm::text {

#ifdef _WIN32

std::u16string nameText(NativeNameView name) { return std::u16string(name); }
NativeName nativeName(std::u16string_view text) { return NativeName(text); }
int compareNames(NativeNameView a, NativeNameView b) { return a.compare(b); }

#else

std::u16string nameText(NativeNameView name) { return fromUtf8(name); }
NativeName nativeName(std::u16string_view text) { return toUtf8(text); }

namespace {

// The first UTF-16 code unit (and the second, for a surrogate pair) that
// fromUtf8 makes of the character at s[i], and how many bytes it takes.
struct Decoded {
    char16_t first, second;
    std::size_t length;
};

Decoded decodeAt(std::string_view s, std::size_t i) {
    char32_t cp = 0;
    const std::size_t length = decodeUtf8(s, i, cp);
    if (length == 0) return {static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(s[i])), 0, 1};
    if (cp < 0x10000) return {static_cast<char16_t>(cp), 0, length};
    cp -= 0x10000;
    return {static_cast<char16_t>(0xD800 + (cp >> 10)), static_cast<char16_t>(0xDC00 + (cp & 0x3FF)), length};
}

}  // namespace

int compareNames(NativeNameView a, NativeNameView b) {
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < common && a[i] == b[i]) ++i;
    if (i == common) {
        if (a.size() == b.size()) return 0;
        // A byte prefix of the other name sorts first, unless it ends inside
        // a character that the longer name completes: "\xC3" alone is the
        // escape U+DCC3, which sorts after the "é" of "\xC3\xA9".
        if (i == 0 || static_cast<unsigned char>(a[i - 1]) < 0x80) return a.size() < b.size() ? -1 : 1;
    } else {
        const auto ua = static_cast<unsigned char>(a[i]), ub = static_cast<unsigned char>(b[i]);
        // An ASCII byte is always a character of its own and sorts below every
        // other unit, so a difference there is the difference of the texts.
        if (ua < 0x80 && ub < 0x80) return ua < ub ? -1 : 1;
    }
    // Otherwise decode both from the last place where they surely are at a
    // character boundary: just after the last ASCII byte before the difference.
    std::size_t at = i;
    while (at > 0 && static_cast<unsigned char>(a[at - 1]) >= 0x80) --at;
    for (;;) {
        const Decoded da = decodeAt(a, at), db = decodeAt(b, at);
        if (da.first != db.first) return da.first < db.first ? -1 : 1;
        if (da.second != db.second) return da.second < db.second ? -1 : 1;
        // The same units come from the same bytes: go on after them.
        at += da.length;
        if (at >= a.size() || at >= b.size()) return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }
}

#endif

}  // namespace qm::text
