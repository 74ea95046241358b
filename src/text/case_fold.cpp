#include "text/case_fold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace qm::text {

namespace {

struct Run {
    char32_t first, last;
    std::int32_t delta;
    std::uint32_t step;
};

// Made at build time from Unicode's CaseFolding.txt.
constexpr Run runs[] = {
#include "case_folding_table.inc"
};

}  // namespace

char32_t foldBeyondAscii(char32_t c) {
    // The last run that starts at or before c.
    const Run* run = std::upper_bound(std::begin(runs), std::end(runs), c,
                                      [](char32_t value, const Run& r) { return value < r.first; });
    if (run == std::begin(runs)) return c;
    --run;
    if (c > run->last || (c - run->first) % run->step != 0) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + run->delta);
}

std::u16string foldCase(std::u16string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const FoldedChar f = foldedAt(s, i);
        if (f.folded < 0x10000) {
            out.push_back(static_cast<char16_t>(f.folded));
        } else {
            out.push_back(static_cast<char16_t>(0xD800 + ((f.folded - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((f.folded - 0x10000) & 0x3FF)));
        }
        i += f.length;
    }
    return out;
}

}  // namespace qm::text
