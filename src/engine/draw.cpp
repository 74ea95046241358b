#include "engine/draw.h"

#include <algorithm>
#include <random>

namespace qm {

std::vector<DispatchRow> drawKeys(std::uint32_t files, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::vector<DispatchRow> rows(files);
    for (std::uint32_t j = 0; j < files; ++j) rows[j] = {j, generator()};
    return rows;
}

void sortByKey(std::vector<DispatchRow>& rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const DispatchRow& a, const DispatchRow& b) { return a.key < b.key; });
}

}  // namespace qm
