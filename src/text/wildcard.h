// File-name wildcards as the file list's type filter understands them.
//
// A pattern is one or more wildcards separated by ";" ("*.jpg;*.png"); a name
// matches the pattern when it matches any of them. Within a wildcard "*" stands
// for any run of characters and "?" for exactly one; letter case is ignored
// (text/case_fold.h), in every script alike.
// Two desktop habits are kept because users type them: "*.*" (and any wildcard
// ending in ".*") also takes names without a dot, and a wildcard ending in a
// lone "." ("*.") takes only names without a dot.
#pragma once

#include <string_view>

namespace qm {

bool matchesPattern(std::u16string_view name, std::u16string_view pattern);

// False when the pattern holds a character that no file name can contain
// (path separators, ':', '|', '<', '>', '"', NUL): such a pattern lists nothing.
bool isUsablePattern(std::u16string_view pattern);

}  // namespace qm

#include <string>
#include <vector>

#include "text/native_name.h"

namespace qm {

// A pattern read once and then matched against many names in the platform's
// own spelling. The common forms need no conversion of the name: "*.*" and
// "*" take everything, "*.ext" is a case-insensitive test of the name's end,
// "*." a look for a dot; anything else is matched on the name's text.
class NamePattern {
public:
    explicit NamePattern(std::u16string_view pattern);
    bool matches(NativeNameView name) const;

private:
    enum class Kind { All, Suffix, NoDot, General };
    struct Wildcard {
        Kind kind;
        std::u16string text;   // General: the wildcard; Suffix: what the name must end with, folded
        NativeName ending;     // Suffix on POSIX: the same as bytes, when it is ASCII
        bool nativeEnding;     // whether `ending` holds it
    };
    std::vector<Wildcard> wildcards_;
    mutable std::u16string text_;  // the name's text, made once per name when needed
};

}  // namespace qm
