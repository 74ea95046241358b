#include "text/wildcard.h"

#include <algorithm>

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

namespace {

bool isAscii(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

bool hasWildcard(std::u16string_view s) { return s.find_first_of(u"*?") != std::u16string_view::npos; }

// Case folding of one unit of a stored name. A byte of a POSIX name is
// folded only as ASCII: the endings compared byte by byte are ASCII, and a
// byte of a longer UTF-8 sequence is never equal to one.
NameUnit foldUnit(NameUnit u) {
    if constexpr (sizeof(NameUnit) == 2) {
        return fold(u);
    } else {
        return u >= 'A' && u <= 'Z' ? static_cast<NameUnit>(u + 0x20) : u;
    }
}

template <typename Unit, typename Fold>
bool endsWithFolded(std::basic_string_view<Unit> name, std::basic_string_view<Unit> ending, Fold f) {
    return name.size() >= ending.size() &&
           std::equal(ending.begin(), ending.end(), name.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [&](Unit e, Unit n) { return e == f(n); });
}

}  // namespace

NamePattern::NamePattern(std::u16string_view pattern) {
    if (!isUsablePattern(pattern)) return;  // lists nothing
    for (;;) {
        const std::size_t end = pattern.find(u';');
        const std::u16string_view wild = pattern.substr(0, end);
        if (wild == u"*" || wild == u"*.*") {
            wildcards_.push_back({Kind::All, {}, {}, false});
        } else if (wild == u"*.") {
            wildcards_.push_back({Kind::NoDot, {}, {}, false});
        } else if (wild.size() > 1 && wild[0] == u'*' && !hasWildcard(wild.substr(1)) && !wild.ends_with(u'.')) {
            std::u16string ending(wild.substr(1));
            std::transform(ending.begin(), ending.end(), ending.begin(), fold);
            // An ASCII ending can be compared with the stored name directly
            // in either spelling: no other unit folds to an ASCII letter.
            const bool native = sizeof(NameUnit) == 2 || isAscii(ending);
            wildcards_.push_back({Kind::Suffix, ending, native ? text::nativeName(ending) : NativeName(), native});
        } else if (!wild.empty()) {
            wildcards_.push_back({Kind::General, std::u16string(wild), {}, false});
        }
        if (end == std::u16string_view::npos) break;
        pattern.remove_prefix(end + 1);
    }
}

bool NamePattern::matches(NativeNameView name) const {
    bool haveText = false;
    auto nameText = [&]() -> const std::u16string& {
        if (!haveText) text_ = text::nameText(name);
        haveText = true;
        return text_;
    };
    for (const Wildcard& w : wildcards_) {
        switch (w.kind) {
            case Kind::All:
                return true;
            case Kind::NoDot:
                if (name.find(NameUnit('.')) == NativeNameView::npos) return true;
                break;
            case Kind::Suffix:
                if (w.nativeEnding ? endsWithFolded(name, NativeNameView(w.ending), foldUnit)
                                   : endsWithFolded(std::u16string_view(nameText()), std::u16string_view(w.text), fold))
                    return true;
                break;
            case Kind::General:
                if (matchesOne(nameText(), w.text)) return true;
                break;
        }
    }
    return false;
}

}  // namespace qm
