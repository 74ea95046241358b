#include "engine/draw.h"

#include <algorithm>
#include <random>

#include "text/radix_pass.h"

namespace qm {

namespace {

// Equal keys are ordered by their list position, which is what a stable sort
// would keep, without the stable sort's extra buffer.
bool before(const DispatchRow& a, const DispatchRow& b) { return a.key != b.key ? a.key < b.key : a.entry < b.entry; }

// Rows [first, last) agree on the key bytes above `shift`. The keys are
// uniform, so a radix pass in place on the byte at `shift` leaves buckets of
// about 1/256 of the rows; two passes leave a million rows in buckets of a
// few, which a comparison sort finishes. Time grows linearly with the rows,
// where a comparison sort of them all grows by their logarithm too.
void sortFrom(DispatchRow* first, DispatchRow* last, int shift) {
    const auto size = static_cast<std::size_t>(last - first);
    if (size < 64 || shift < 0) {
        std::sort(first, last, before);
        return;
    }
    text::radixPass(
        first, last, [shift](const DispatchRow& row) { return static_cast<std::size_t>(row.key >> shift & 0xFF); },
        [shift](DispatchRow* begin, DispatchRow* end) { sortFrom(begin, end, shift - 8); });
}

}  // namespace

std::vector<DispatchRow> drawKeys(std::uint32_t files, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::vector<DispatchRow> rows(files);
    for (std::uint32_t j = 0; j < files; ++j) rows[j] = {j, generator()};
    return rows;
}

void sortByKey(std::vector<DispatchRow>& rows) { sortFrom(rows.data(), rows.data() + rows.size(), 56); }

}  // namespace qm
