// Whether a folder may be taken as the import folder: the rule the folder
// dialog's choice is held to, and the command line's --import.
#pragma once

#include <string>

#include "platform/system.h"

namespace qm {

// No refusal marker ("{") in it, and it can be opened and read.
bool isUsableFolder(System& system, const std::u16string& folder);

}  // namespace qm
