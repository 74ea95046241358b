// What a run will do, computed before it acts: the ordered list of files
// with the share each one goes to. A run walks it; the command line can print
// it instead (a dry run) and record it with each file's outcome.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/plan.h"

namespace qm {

struct RunRow {
    std::uint32_t name;           // position among the source folder's names
    std::uint32_t share : 31;     // from 1
    std::uint32_t companion : 1;  // goes with the file before it rather than being dealt itself
};
static_assert(sizeof(RunRow) == 8, "a run over 100,000 files keeps one row per file");

struct RunPlan {
    bool move = false;
    std::uint64_t seed = 0;
    std::u16string sourceFolder;  // as the file list names it
    std::u16string shareRoot;     // share k is shareRoot followed by k
    ShareCounts shares{};
    std::vector<RunRow> rows;     // in transfer order
    std::uint64_t companions = 0; // rows that are companions
};

}  // namespace qm
