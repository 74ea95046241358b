// The rules of the ways of dealing beyond the window's two modes (a ratio
// and the shares' names), as pure functions: the command line and the
// window's options dialog check their fields with the same ones. Each
// answers with what is wrong, in words, or nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qm {

inline constexpr std::size_t kMostWeights = 1000;
inline constexpr std::uint64_t kLargestWeight = 1000000;
inline constexpr std::size_t kLongestShareName = 100;

// "8:1:1": 2 to 1,000 positive whole weights, each at most 1,000,000.
std::optional<std::u16string> ratioProblem(const std::u16string& text, std::vector<std::uint64_t>& weights);
// "张三,李四,王五" (a full-width comma separates too), one name per weight.
std::vector<std::u16string> shareNamesIn(const std::u16string& text);
// Non-empty, unique, at most 100 characters, no separator or control
// character, not "." or "..", and (`windowsNames`) none of the characters
// Windows refuses in a name.
std::optional<std::u16string> shareNamesProblem(const std::vector<std::u16string>& names, std::size_t weights,
                                                bool windowsNames);

}  // namespace qm
