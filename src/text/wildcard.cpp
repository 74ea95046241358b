#include "text/wildcard.h"

#include <algorithm>
#include <optional>

#include "text/case_fold.h"

namespace qm {

namespace {

using text::foldedAt;

// Code units taken by the character at s[i]: a surrogate pair is one character.
std::size_t charLength(std::u16string_view s, std::size_t i) {
    bool pair = s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// The code units of the characters at name[n] and wild[w] when they fold
// alike (a character and its folding take as many), else 0. ASCII, nearly
// every name, is compared here without the table.
std::size_t foldedMatch(std::u16string_view name, std::size_t n, std::u16string_view wild, std::size_t w) {
    if ((name[n] | wild[w]) < 0x80) return text::foldCase(name[n]) == text::foldCase(wild[w]) ? 1 : 0;
    const text::FoldedChar a = foldedAt(name, n), b = foldedAt(wild, w);
    return a.folded == b.folded ? a.length : 0;
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
        } else if (const std::size_t length = w < wild.size() ? foldedMatch(name, n, wild, w) : 0; length != 0) {
            n += length;
            w += length;
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

// Whether the name ends with the folded text `ending`, character by
// character: the same answer as a "*" and then `ending` in glob, which never
// starts a character inside a surrogate pair.
bool endsWithFolded(std::u16string_view name, std::u16string_view ending) {
    if (name.size() < ending.size()) return false;
    std::size_t n = name.size() - ending.size(), e = 0;
    if (n > 0 && name[n] >= 0xDC00 && name[n] <= 0xDFFF && name[n - 1] >= 0xD800 && name[n - 1] <= 0xDBFF) return false;
    while (n < name.size()) {
        const std::size_t length = foldedMatch(name, n, ending, e);
        if (length == 0) return false;
        n += length;
        e += length;
    }
    return true;
}

#ifndef _WIN32
// The same for a stored UTF-8 name and an ASCII ending, byte by byte from
// the end while the name's bytes are ASCII (each its own character, which
// only an ASCII letter folds to). A byte beyond ASCII may be a character
// that folds to ASCII ("K", the Kelvin sign, to "k"): then only the name's
// text can tell, and the answer is empty.
std::optional<bool> endsWithAscii(std::string_view name, std::string_view ending) {
    if (name.size() < ending.size()) return false;  // fewer bytes than the ending has characters
    for (std::size_t i = 1; i <= ending.size(); ++i) {
        const auto u = static_cast<unsigned char>(name[name.size() - i]);
        if (u >= 0x80) return std::nullopt;
        if (text::foldCase(u) != static_cast<unsigned char>(ending[ending.size() - i])) return false;
    }
    return true;
}
#endif

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
            std::u16string ending = text::foldCase(wild.substr(1));
            // A stored UTF-16 name is compared as it is; a stored UTF-8 name
            // is compared byte by byte with an ASCII ending.
            const bool native = sizeof(NameUnit) == 1 && isAscii(ending);
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
            case Kind::Suffix: {
#ifdef _WIN32
                const bool ends = endsWithFolded(name, w.text);
#else
                const std::optional<bool> quick = w.nativeEnding ? endsWithAscii(name, w.ending) : std::nullopt;
                const bool ends = quick ? *quick : endsWithFolded(nameText(), w.text);
#endif
                if (ends) return true;
                break;
            }
            case Kind::General:
                if (matchesOne(nameText(), w.text)) return true;
                break;
        }
    }
    return false;
}

}  // namespace qm
