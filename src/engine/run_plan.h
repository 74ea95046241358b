// What a run will do, computed before it acts: the ordered list of files
// with the share each one goes to. A run walks it; the command line can print
// it instead (a dry run) and record it with each file's outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/plan.h"
#include "engine/run_request.h"
#include "engine/source_list.h"

namespace qm {

struct RunRow {
    std::uint32_t name;           // position among the source folder's names
    std::uint32_t share : 30;     // from 1
    std::uint32_t companion : 1;  // goes with the file before it rather than being dealt itself
    std::uint32_t common : 1;     // one of the files that go into every share
};
static_assert(sizeof(RunRow) == 8, "a run over 100,000 files keeps one row per file");

struct RunPlan {
    bool move = false;
    std::uint64_t seed = 0;
    std::u16string sourceFolder;  // as the file list names it
    std::u16string shareRoot;     // share k is shareRoot followed by k
    ShareCounts shares{};         // with a ratio, `count` alone means anything
    std::vector<RunRow> rows;     // in transfer order, share by share
    std::uint64_t companions = 0; // rows that are companions
    // With names, share k's folder is the share root followed by names[k-1].
    std::vector<std::u16string> shareNames;
    bool subfolders = false;      // names are paths relative to the import folder
    RunRequest::Link link = RunRequest::Link::None;
    bool lists = false;           // nothing transferred: each share's list written
    std::vector<std::uint32_t> common;  // name positions of the files every share gets
};

// Share k's name after the share root: its number, or its given name.
std::u16string shareName(const RunPlan& plan, std::uint64_t share);

// The share root a run of the request deals into: the export folder, the
// kept part of the import folder's path, and "_分发".
std::u16string shareRootOf(const RunRequest& request, const PathStyle& style);

// The plan of the request over the files of `sources` (read from the
// request's import folder): the share root and counts, the draw, the rows in
// transfer order. Pure: nothing is touched. No rows when nothing matches.
RunPlan planRun(const RunRequest& request, const SourceList& sources, const PathStyle& style);

}  // namespace qm
