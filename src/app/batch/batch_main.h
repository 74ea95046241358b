// What quillmarsh-batch does with its command line, on every system: the
// main functions only gather the arguments and the streams.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm::batch {

// `args` without the program name, in UTF-8. Returns the exit code.
// `stop` becomes non-zero (the signal's number) when the user asks the run to stop.
int batchMain(const std::vector<std::string>& args, System& system, std::ostream& out, std::ostream& err,
              bool showProgress, const std::atomic<int>* stop);

}  // namespace qm::batch
