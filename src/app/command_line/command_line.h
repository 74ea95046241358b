// A command line in GNU's syntax, read against a table of its options:
// "--name value" and "--name=value", "--" ending the options, any
// unambiguous beginning of a name standing for it, and "-h"-style letters.
// The one table of a program also makes its --help and its shell completion.
//
// getopt_long is not used: it words its own messages (in the C library's
// language, not ours), tells an ambiguous beginning from an unknown name
// only on glibc and names no candidates there, cannot suggest the name
// meant, and keeps global state that glibc and mingw-w64 reset differently,
// while the batch's main is called many times in one test process.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::cli {

struct OptionSpec {
    enum class Value { None, Text, Folder, File };
    std::string_view name;     // without the leading "--"
    char letter = 0;           // "-h"; 0 for none
    Value value = Value::None;
    std::string_view valueName;  // the value's name in the help ("目录")
    std::string_view help;       // lines, each already fitting beside the names
    std::string_view choices = {};  // the only values there are, space-separated
};

struct ParsedOption {
    std::string_view name;  // the table's name, however it was spelt
    std::string value;
};

struct ParsedCommandLine {
    std::vector<ParsedOption> options;  // in the order given
    std::vector<std::string> operands;  // what is not an option
    std::string error;                  // UTF-8, one line; empty when the line is usable
};

// The pieces appended in order: GCC 12 at -O3 warns falsely on a literal
// joined to a std::string with "+".
inline std::string join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}

ParsedCommandLine parseCommandLine(std::span<const OptionSpec> table, const std::vector<std::string>& args);

// The option whose name is nearest to `typed` (without its dashes), by
// edit distance with a swap of two neighbours as one edit; empty when none
// is near enough to have been meant.
std::string_view nearestOption(std::span<const OptionSpec> table, std::string_view typed);

}  // namespace qm::cli
