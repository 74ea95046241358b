// One pass of an in-place (American flag) radix sort: the shared step of
// the file list's name order and of the draw's key order, both of which
// sort a million items without a second buffer.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

namespace qm::text {

// Swaps the items of [first, last) into 256 buckets in order of `digit`
// (0 to 255), then hands each bucket of more than one item to
// `bucket(begin, end)`, where the next pass can sort it further.
template <typename Item, typename Digit, typename Bucket>
void radixPass(Item* first, Item* last, Digit digit, Bucket bucket) {
    std::array<std::size_t, 256> count{}, next{}, end{};
    for (const Item* item = first; item != last; ++item) ++count[digit(*item)];
    std::size_t at = 0;
    for (std::size_t d = 0; d < 256; ++d) {
        next[d] = at;
        at += count[d];
        end[d] = at;
    }
    for (std::size_t d = 0; d < 256; ++d) {
        while (next[d] < end[d]) {
            Item item = first[next[d]];
            for (std::size_t home = digit(item); home != d; home = digit(item)) std::swap(item, first[next[home]++]);
            first[next[d]++] = item;
        }
    }
    for (std::size_t d = 0; d < 256; ++d) {
        if (count[d] > 1) bucket(first + end[d] - count[d], first + end[d]);
    }
}

}  // namespace qm::text
