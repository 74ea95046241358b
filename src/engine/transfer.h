// Dealing the files of a plan into their share folders.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/failure_log.h"
#include "engine/run_plan.h"
#include "engine/run_recorder.h"
#include "engine/share_folders.h"

namespace qm {

struct TransferJob {
    const FolderNames& names;        // the source folder's names, which the rows point into
    const std::u16string& sourceFolder;
    const RunPlan& plan;
    ShareFolders& shares;
    RunRecorder* recorder = nullptr;  // told every file's transfer as it happens
    // Set (to the signal's number, say) to stop the run between files: the
    // files in hand finish, the rest are not started.
    const std::atomic<int>* stop = nullptr;
    // How many files are transferred at once (transferWorkers).
    unsigned workers = 1;
};

inline constexpr unsigned kDefaultWorkers = 16;
inline constexpr unsigned kMostWorkers = 64;

// How many workers a run of `plan` has: as asked (1 to 64), or enough to
// keep a cold disk or a network share busy.
unsigned transferWorkers(const RunPlan& plan, std::optional<unsigned> asked);

struct TransferTally {
    std::uint64_t transferred = 0;  // moved or copied
    std::uint64_t identical = 0;    // already there
    std::uint64_t failed = 0;
    std::uint64_t clashes = 0;  // of the failed: another file already had the name
    // Move runs only: files that reached their share while the source stayed
    // (it could not be removed, or its twin was already there).
    std::uint64_t copiedOnly = 0;
    // Companions transferred along with the files they go with.
    std::uint64_t companions = 0;
    // Transferred whole, without the time or permission bits that their
    // share's file system could not keep.
    std::uint64_t unkept = 0;
    // A clone run's files that could only be copied; links that failed
    // because the share is on another file system, or because the system
    // refuses this user symbolic links.
    std::uint64_t copiedNotCloned = 0;
    std::uint64_t otherVolume = 0;
    std::uint64_t noPrivilege = 0;
    // Rows never started, because the run was stopped or its record could
    // no longer be written.
    std::uint64_t notDealt = 0;
    bool recordLost = false;
};

// Transfers every row of the plan, several at once spread over the share
// folders (with one worker, one after the other in the plan's order),
// logging each file that fails. The run's own thread accounts for the files
// as they finish (so the failure log's lines and the record's may come in
// another order than the plan's) and tells `progress` how many came before
// each (from 0); also now and then while it waits, with the last count, so
// that a window repaints however long a file takes.
TransferTally transferAll(System& system, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& progress);

}  // namespace qm
