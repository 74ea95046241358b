// Putting a folder's names in order: the order of compareNames (their UTF-16
// code units), reached in time that grows about linearly with the number of
// names, because a folder may hold a million of them.
#pragma once

#include <cstdint>
#include <span>

#include "text/native_name.h"

namespace qm::text {

// Sorts `positions` (numbers of names in a table) so that their names stand in
// the order of compareNames. The table keeps the names back to back in
// `arena`: name i ends (one past its last unit) at ends[i] and begins where
// name i - 1 ends.
void sortNames(std::span<std::uint32_t> positions, NativeNameView arena, std::span<const std::uint32_t> ends);

}  // namespace qm::text
