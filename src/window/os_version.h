// The operating-system version probe, answered from the system's version record.
#pragma once

#include <optional>
#include <string>

#include "platform/system.h"

namespace qm {

// One of "Windows 95", "Windows 98", "Windows Mellinnium", "Windows NT 3.51",
// "Windows NT 4.0", "Windows 2000", "Windows XP", "Win7OrAbove", "Failed", or
// the empty text. A system without a version record answers "Failed".
std::u16string GetOSVersionName(const std::optional<System::VersionRecord>& record);

}  // namespace qm
