// One dispatch run driven through the window model from the command line.
#pragma once

#include <atomic>
#include <ostream>

#include "app/batch/options.h"
#include "platform/system.h"

namespace qm::batch {

enum ExitCode { kAllTransferred = 0, kSomeFailed = 1, kCouldNotStart = 2 };

// The exit code of a run or undo stopped by a signal: 128 and the signal's
// number, as shells report a program the signal ended (130 for Ctrl+C, 143
// for SIGTERM). Windows has no signals; its console events stop with 130.
inline int stoppedExitCode(int signal) { return 128 + signal; }

// Sets the window's controls from the options, clicks the dispatch button and
// reports on `out` (results) and `err` (progress, notices and errors).
// `showProgress`: whether the title's progress text goes to `err`. `stop`
// becomes the number of the signal that asks the run to stop.
int runBatch(const Options& options, System& system, std::ostream& out, std::ostream& err, bool showProgress,
             const std::atomic<int>* stop = nullptr);

}  // namespace qm::batch
