#include "app/command_line/bash_completion.h"

namespace qm::cli {

namespace {

// The options of one kind of value, as a case pattern ("--import|--export").
std::string pattern(std::span<const OptionSpec> table, OptionSpec::Value value, bool withChoices) {
    std::string names;
    for (const OptionSpec& option : table) {
        if (option.value != value || !option.choices.empty() != withChoices) continue;
        names += join({names.empty() ? "--" : "|--", option.name});
    }
    return names;
}

}  // namespace

std::string bashCompletion(std::string_view program, std::span<const OptionSpec> table) {
    std::string function = join({"_", program});
    for (char& c : function)
        if (c == '-') c = '_';
    std::string options;
    for (const OptionSpec& option : table) options += join({options.empty() ? "--" : " --", option.name});

    std::string s = join({"# bash completion for ", program, "; made from its option table.\n"});
    s += function + "()\n{\n";
    s += "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} i\n";
    // bash splits "--import=DIR" at "=": the option is the word before it.
    s += "    if [[ $cur == = ]]; then\n        prev=${COMP_WORDS[COMP_CWORD-1]}\n        cur=\n";
    s += "    elif [[ $prev == = ]] && (( COMP_CWORD > 1 )); then\n        prev=${COMP_WORDS[COMP_CWORD-2]}\n    fi\n";
    s += "    COMPREPLY=()\n";
    s += "    for (( i = 1; i < COMP_CWORD; i++ )); do\n";
    s += "        if [[ ${COMP_WORDS[i]} == -- ]]; then\n";
    s += "            compopt -o filenames 2>/dev/null\n";
    s += "            mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n            return\n        fi\n    done\n";
    s += "    case $prev in\n";
    if (const std::string folders = pattern(table, OptionSpec::Value::Folder, false); !folders.empty()) {
        s += join({"        ", folders, ")\n            compopt -o filenames 2>/dev/null\n"});
        s += "            mapfile -t COMPREPLY < <(compgen -d -- \"$cur\")\n            return ;;\n";
    }
    if (const std::string files = pattern(table, OptionSpec::Value::File, false); !files.empty()) {
        s += join({"        ", files, ")\n            compopt -o filenames 2>/dev/null\n"});
        s += "            mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n            return ;;\n";
    }
    for (const OptionSpec& option : table) {
        if (option.choices.empty()) continue;
        s += join({"        --", option.name, ")\n"});
        s += join({"            mapfile -t COMPREPLY < <(compgen -W '", option.choices, "' -- \"$cur\")\n"});
        s += "            return ;;\n";
    }
    // A value of free text (a count, a seed, a filter): nothing to offer.
    if (const std::string text = pattern(table, OptionSpec::Value::Text, false); !text.empty())
        s += join({"        ", text, ")\n            return ;;\n"});
    s += "    esac\n";
    s += "    if [[ $cur == -* ]]; then\n";
    s += join({"        mapfile -t COMPREPLY < <(compgen -W '", options, "' -- \"$cur\")\n"});
    s += "    fi\n}\n";
    s += join({"complete -F ", function, " ", program, "\n"});
    return s;
}

}  // namespace qm::cli
