// One dispatch run driven through the window model from the command line.
#pragma once

#include <ostream>

#include "app/batch/options.h"
#include "platform/platform.h"

namespace qm::batch {

enum ExitCode { kAllTransferred = 0, kSomeFailed = 1, kCouldNotStart = 2 };

// Sets the window's controls from the options, clicks the dispatch button and
// reports on `out` (results) and `err` (progress, notices and errors).
// `showProgress`: whether the title's progress text goes to `err`.
int runBatch(const Options& options, Platform& platform, std::ostream& out, std::ostream& err, bool showProgress);

}  // namespace qm::batch
