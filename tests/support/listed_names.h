// A folder's names as a platform lists them, for tests on real folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm::test {

// The names `platform` lists in `folder`, as text and sorted; nullopt when it
// cannot be listed. Also checks that a listing replaces what the list held
// and that a failed one leaves it empty.
std::optional<std::vector<std::u16string>> listedNames(System& platform, const std::u16string& folder);

}  // namespace qm::test
