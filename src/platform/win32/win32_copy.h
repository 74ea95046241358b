// The copy that both the copy and the move of the Windows platform use.
#pragma once

#include <string>

#include "platform/platform.h"

namespace qm::win32 {

// Copies `from` to the new name `to` as the transfer contract says: Copied,
// AlreadyThere or Failed; the source is never touched.
TransferOutcome copyInto(const std::u16string& from, const std::u16string& to);

}  // namespace qm::win32
