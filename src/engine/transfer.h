// Making the share folders and dealing the files into them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/failure_log.h"
#include "engine/run_plan.h"

namespace qm {

class FileList;

// Share folders 1 to the share count, made where missing; existing ones are
// reused as they are.
void makeShareFolders(Platform& platform, const std::u16string& shareRoot, std::uint64_t count);

struct TransferJob {
    const FileList& files;
    const RunPlan& plan;
};

struct TransferTally {
    std::uint64_t failed = 0;
    // Move runs only: files that reached their share while the source stayed
    // (it could not be removed, or its twin was already there).
    std::uint64_t copiedOnly = 0;
    // Companions transferred along with the files they go with.
    std::uint64_t companions = 0;
};

// Transfers every row of the plan in order, logging each file that fails.
// `beforeFile` is told the position (from 0) of each row before it is
// accounted for, `afterFile` its outcome, both strictly in the plan's order.
TransferTally transferAll(Platform& platform, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile,
                          const std::function<void(const RunRow&, const TransferResult&)>& afterFile);

}  // namespace qm
