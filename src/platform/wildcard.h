// File-name wildcards as the file list's type filter understands them.
//
// A pattern is one or more wildcards separated by ";" ("*.jpg;*.png"); a name
// matches the pattern when it matches any of them. Within a wildcard "*" stands
// for any run of characters and "?" for exactly one; letter case is ignored.
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
