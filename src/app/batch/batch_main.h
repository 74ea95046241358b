// What quillmarsh-batch does with its command line, on every system: the
// main functions only gather the arguments and the streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qm::batch {

// `args` without the program name, in UTF-8. Returns the exit code.
int batchMain(const std::vector<std::string>& args, Platform& platform, std::ostream& out, std::ostream& err,
              bool showProgress);

}  // namespace qm::batch
