#include "app/command_line/help_layout.h"

namespace qm::cli {

namespace {

bool wide(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range ranges[] = {
        {0x00D7, 0x00D7}, {0x2014, 0x2014}, {0x2018, 0x2019}, {0x201C, 0x201D}, {0x2026, 0x2026},
        {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x20000, 0x3FFFD},
    };
    for (const Range& r : ranges)
        if (c >= r.first && c <= r.last) return true;
    return false;
}

}  // namespace

std::size_t displayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        width += wide(c) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string optionsHelp(std::span<const OptionSpec> table) {
    constexpr std::size_t kHelpColumn = 22;
    const std::string indent(kHelpColumn, ' ');
    std::string text;
    for (const OptionSpec& option : table) {
        std::string names = "  ";
        if (option.letter) names += join({"-", std::string_view(&option.letter, 1), ", "});
        names += join({"--", option.name});
        if (option.value != OptionSpec::Value::None) names += join({" ", option.valueName});
        const std::size_t width = displayWidth(names);
        text += names;
        // A name too long for its column has its help on the next line.
        if (width + 1 < kHelpColumn) {
            text += std::string(kHelpColumn - width, ' ');
        } else {
            text += join({"\n", indent});
        }
        std::string_view help = option.help;
        for (bool first = true;; first = false) {
            const std::size_t end = help.find('\n');
            if (!first) text += indent;
            text += help.substr(0, end);
            text += '\n';
            if (end == std::string_view::npos) break;
            help.remove_prefix(end + 1);
        }
    }
    return text;
}

}  // namespace qm::cli
