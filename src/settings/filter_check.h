// The filter's rules as pure functions: what a typed filter must look like,
// and the pattern a filter text stands for. The filter box applies them as
// the user edits it; the command line applies the same to its --filter.
#pragma once

#include <optional>
#include <string>

namespace qm {

// The message of the first rule a typed filter breaks; nothing when it
// passes them all. (An item chosen from the list is never checked.)
std::optional<std::u16string> typedFilterProblem(const std::u16string& text);
// The file list's pattern for a filter text: the two display names stand
// for their patterns, any other text is the pattern itself.
std::u16string filterPattern(const std::u16string& text);

}  // namespace qm
