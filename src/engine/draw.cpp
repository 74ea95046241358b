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
    // In place: equal keys are ordered by their list position, which is what a
    // stable sort would keep, without the stable sort's extra buffer.
    std::sort(rows.begin(), rows.end(), [](const DispatchRow& a, const DispatchRow& b) {
        return a.key != b.key ? a.key < b.key : a.entry < b.entry;
    });
}

}  // namespace qm
