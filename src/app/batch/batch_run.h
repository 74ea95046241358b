// One dispatch run from the command line: the options made into a run request.
#pragma once

#include <atomic>
#include <ostream>

#include "app/batch/options.h"
#include "platform/system.h"

namespace qm::batch {

// The name every diagnostic begins with, as GNU's programs begin theirs.
inline constexpr char kProgramName[] = "quillmarsh-batch";

enum ExitCode { kAllTransferred = 0, kSomeFailed = 1, kCouldNotStart = 2 };

// The exit code of a run or undo stopped by a signal: 128 and the signal's
// number, as shells report a program the signal ended (130 for Ctrl+C, 143
// for SIGTERM). Windows has no signals; its console events stop with 130.
inline int stoppedExitCode(int signal) { return 128 + signal; }

// Builds the run from the options, as the window builds it from its controls,
// has the engine carry it out, and reports on `out` (results) and `err`
// (progress, notices and errors).
// `showProgress`: whether the title's progress text goes to `err`. `stop`
// becomes the number of the signal that asks the run to stop.
int runBatch(const Options& options, System& system, std::ostream& out, std::ostream& err, bool showProgress,
             const std::atomic<int>* stop = nullptr);

}  // namespace qm::batch
