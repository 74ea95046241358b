// The help a program prints, laid out for an 80-column terminal.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/command_line/command_line.h"

namespace qm::cli {

// The columns a terminal gives a UTF-8 text: two for a wide (CJK) or
// fullwidth character, and for the punctuation Chinese text uses that a
// terminal in a Chinese locale also shows wide (“ ” … — ×); one for others.
std::size_t displayWidth(std::string_view utf8);

// One block a line per option, "  --name VALUE" and its help beside it (its
// further lines below, under the first).
std::string optionsHelp(std::span<const OptionSpec> table);

}  // namespace qm::cli
