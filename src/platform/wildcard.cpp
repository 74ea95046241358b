#include "platform/wildcard.h"

namespace qm {

namespace {

// Case folding for ASCII and the Latin-1 letters (À..Þ -> à..þ, not ×).
char16_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
    return c;
}

// Code units taken by the character at s[i]: a surrogate pair is one character.
std::size_t charLength(std::u16string_view s, std::size_t i) {
    bool pair = s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// Whole-name glob match. On a mismatch only the most recent "*" is retried
// one character further on: an earlier "*" never needs to take more, because
// the later one can absorb the difference. That keeps the work at
// name length x wildcard length at worst, with no recursion.
bool glob(std::u16string_view name, std::u16string_view wild) {
    std::size_t n = 0, w = 0;
    std::size_t starW = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (w < wild.size() && wild[w] == u'*') {
            starW = ++w;
            starN = n;
        } else if (w < wild.size() && wild[w] == u'?') {
            n += charLength(name, n);
            ++w;
        } else if (w < wild.size() && fold(wild[w]) == fold(name[n])) {
            ++n;
            ++w;
        } else if (starW != std::u16string_view::npos) {
            starN += charLength(name, starN);
            n = starN;
            w = starW;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild[w] == u'*') ++w;
    return w == wild.size();
}

bool matchesOne(std::u16string_view name, std::u16string_view wild) {
    if (wild.empty()) return false;
    const bool nameHasDot = name.find(u'.') != std::u16string_view::npos;
    if (wild.ends_with(u".*")) {
        // "abc.*" also takes "abc": the extension may be absent altogether.
        return glob(name, wild) || (!nameHasDot && glob(name, wild.substr(0, wild.size() - 2)));
    }
    if (wild.ends_with(u'.') && !wild.ends_with(u"..")) {
        // "*." asks for names without an extension.
        return !nameHasDot && glob(name, wild.substr(0, wild.size() - 1));
    }
    return glob(name, wild);
}

}  // namespace

bool matchesPattern(std::u16string_view name, std::u16string_view pattern) {
    while (true) {
        std::size_t end = pattern.find(u';');
        if (matchesOne(name, pattern.substr(0, end))) return true;
        if (end == std::u16string_view::npos) return false;
        pattern.remove_prefix(end + 1);
    }
}

bool isUsablePattern(std::u16string_view pattern) {
    return pattern.find_first_of(std::u16string_view(u"/\\:|<>\"\0", 8)) == std::u16string_view::npos;
}

}  // namespace qm
