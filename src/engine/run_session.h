// Carrying out a planned run: the one way every front end deals files.
//
// In order: the locks that keep it apart from an undo over the same
// folders, the record (a manifest or one of the window's records), the
// share folders, the transfers, the record's last line, the failure log.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/run_plan.h"
#include "engine/run_request.h"
#include "engine/run_result.h"
#include "platform/system.h"

namespace qm {

struct RunCallbacks {
    // Once the share folders are made, before the first file (the window
    // disables itself and keeps its title there).
    std::function<void()> starting;
    // Before each file, strictly in the plan's order: its position from 0,
    // and how many there are (the window shows it in its title and repaints).
    std::function<void(std::uint64_t position, std::uint64_t total)> progress;
    // Becomes non-zero (the signal's number, say) to stop the run between
    // files: the files in hand finish, the rest are not started.
    const std::atomic<int>* stop = nullptr;
};

// Carries out `plan`, made from `request` over the names `names` of the
// import folder, and says what became of it. The plan's rows are gone
// afterwards (a front end may read the folder again then). A run without
// failures leaves the failure log of an earlier run to the front end to
// remove (FailureLog::removeEarlier), once it has told the user.
RunResult runPlan(System& system, const RunRequest& request, RunPlan& plan, const FolderNames& names,
                  const RunCallbacks& callbacks);

}  // namespace qm
