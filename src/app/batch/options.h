// The command line of quillmarsh-batch.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/command_line/command_line.h"

namespace qm::batch {

struct Options {
    std::u16string importFolder;
    std::u16string exportFolder;
    std::u16string filter = u"*.*";
    std::optional<std::u16string> perShare;  // fixed dispatch
    std::optional<std::u16string> shares;    // average dispatch
    bool move = false;
    bool fullPath = false;
    std::optional<std::uint64_t> seed;
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool dryRun = false;                     // print the plan, touch nothing
    std::optional<std::u16string> manifest;  // record the run here
    std::optional<std::u16string> undo;      // take back the run this manifest records
    bool companions = false;                 // files differing only in the extension go together
    std::optional<std::u16string> ratio;     // W1:W2:...
    std::optional<std::u16string> names;     // A,B,...
    bool subfolders = false;
    bool byFolder = false;
    std::optional<std::string> link;         // hard, symbolic or clone
    bool lists = false;
    std::optional<std::uint64_t> common;
    std::optional<unsigned> jobs;            // transfers at once
};

struct ParseResult {
    Options options;
    std::string error;  // UTF-8; empty when the command line is usable
};

// The options, their values and their help: what the parser reads, what
// --help shows and what the shell completion offers.
std::span<const cli::OptionSpec> optionTable();

ParseResult parseOptions(const std::vector<std::string>& args);
std::string helpText();

}  // namespace qm::batch
