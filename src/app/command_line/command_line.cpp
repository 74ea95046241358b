#include "app/command_line/command_line.h"

#include <algorithm>
#include <optional>

namespace qm::cli {

namespace {

std::size_t editDistance(std::string_view a, std::string_view b) {
    // Optimal string alignment: insertions, deletions, substitutions and a
    // swap of two neighbouring letters ("sahres" is one swap from "shares").
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::string unknown(std::span<const OptionSpec> table, const std::string& arg, std::string_view typed) {
    std::string message = join({"未知的选项：", arg});
    if (const std::string_view near = nearestOption(table, typed); !near.empty())
        message += join({"；您是否想用 --", near, "？"});
    return message;
}

}  // namespace

std::string_view nearestOption(std::span<const OptionSpec> table, std::string_view typed) {
    // Near enough: a slip of a finger or two, and no more than a third of
    // what was typed, or every short word would be "meant" as something.
    const std::size_t limit = std::max<std::size_t>(1, std::min<std::size_t>(2, typed.size() / 3));
    std::string_view best;
    std::size_t bestDistance = limit + 1;
    for (const OptionSpec& option : table) {
        const std::size_t distance = editDistance(typed, option.name);
        if (distance < bestDistance) {
            best = option.name;
            bestDistance = distance;
        }
    }
    return best;
}

ParsedCommandLine parseCommandLine(std::span<const OptionSpec> table, const std::vector<std::string>& args) {
    ParsedCommandLine r;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            r.operands.insert(r.operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        const OptionSpec* option = nullptr;
        std::optional<std::string> attached;  // "--name=value"
        if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            const std::string_view typed = std::string_view(arg).substr(2, equals == std::string::npos ? equals : equals - 2);
            if (equals != std::string::npos) attached = arg.substr(equals + 1);
            std::vector<const OptionSpec*> candidates;
            for (const OptionSpec& spec : table) {
                if (spec.name == typed) {
                    candidates = {&spec};
                    break;
                }
                if (!typed.empty() && spec.name.starts_with(typed)) candidates.push_back(&spec);
            }
            if (candidates.empty()) {
                r.error = unknown(table, join({"--", typed}), typed);
                return r;
            }
            if (candidates.size() > 1) {
                r.error = join({"选项 --", typed, " 有歧义，可以是："});
                for (std::size_t c = 0; c < candidates.size(); ++c)
                    r.error += join({c ? "、--" : "--", candidates[c]->name});
                return r;
            }
            option = candidates.front();
        } else if (arg.size() > 1 && arg[0] == '-') {
            // One letter a word: "-h". No letter takes a value or is
            // grouped with another, so anything longer is a mistake.
            const auto found = std::find_if(table.begin(), table.end(),
                                            [&](const OptionSpec& spec) { return spec.letter != 0 && arg.size() == 2 && spec.letter == arg[1]; });
            if (found == table.end()) {
                r.error = unknown(table, arg, std::string_view(arg).substr(1));
                return r;
            }
            option = &*found;
        } else {
            r.operands.push_back(arg);
            continue;
        }
        const std::string name = join({"--", option->name});
        if (option->value == OptionSpec::Value::None) {
            if (attached) {
                r.error = join({"选项 ", name, " 不带取值：", arg});
                return r;
            }
            r.options.push_back({option->name, {}});
            continue;
        }
        if (!attached) {
            if (i + 1 >= args.size()) {
                r.error = join({"选项 ", name, " 缺少取值"});
                return r;
            }
            attached = args[++i];
        }
        r.options.push_back({option->name, std::move(*attached)});
    }
    return r;
}

}  // namespace qm::cli
