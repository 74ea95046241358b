// The random order in which the files are dealt out.
#pragma once

#include <cstdint>
#include <vector>

namespace qm {

// Packed to 12 bytes: a run over a million files draws a million rows at
// once, beside the names and the plan.
#pragma pack(push, 4)
struct DispatchRow {
    std::uint32_t entry;  // position of the file in the file list
    std::uint64_t key;
};
#pragma pack(pop)
static_assert(sizeof(DispatchRow) == 12);

// One row per file, each with a key drawn from a 64-bit Mersenne Twister
// seeded with `seed`. The generator's output is fixed by the C++ standard, so
// a seed gives the same keys on every machine and build. Keys span the whole
// 64-bit range, so ties practically never happen and every order of the
// files is equally likely (narrow keys tie often, and ties keep list order,
// which favours the first names).
std::vector<DispatchRow> drawKeys(std::uint32_t files, std::uint64_t seed);

// Ascending by key; equal keys keep the file list's order.
void sortByKey(std::vector<DispatchRow>& rows);

}  // namespace qm
