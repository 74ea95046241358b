// What the message box at the end of a run says, made from what the run did.
#pragma once

#include <string>

#include "engine/run_result.h"

namespace qm {

std::u16string CompletionMessage(const RunResult& result);

}  // namespace qm
