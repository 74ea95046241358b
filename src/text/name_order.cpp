// Comparing whole names costs a sort of a million names about twenty random
// reads from the name table per name, and on Linux a decode of both names at
// every comparison. Instead each name carries a key: its next four UTF-16
// code units packed into an integer, the first unit highest, so that keys
// order as the names do. The names are sorted by key with a radix sort (a
// pass per key byte, in place); names whose keys tie get the next four units
// as their key and are sorted again among themselves. Names are read only to
// make keys: once in table order, then once per four units of a common prefix.
#include "text/name_order.h"

#include <algorithm>
#include <array>
#include <vector>

#include "text/radix_pass.h"
#include "text/utf.h"

namespace qm::text {

namespace {

// Where a walk through a name's UTF-16 units stands: at the unit or
// character that begins at `offset` of the stored name or, when a key ended
// between the two units of a surrogate pair, at the second unit of the pair
// that begins there.
struct Cursor {
    std::uint32_t offset = 0;
    bool secondHalf = false;
};

constexpr int kKeyUnits = 4;

// The next four units of the name from `at`, the first in the top 16 bits;
// units past the end count as 0. Moves `at` past them.
#ifdef _WIN32

std::uint64_t nextKey(NativeNameView name, Cursor& at) {
    std::uint64_t key = 0;
    for (int k = 0; k < kKeyUnits; ++k) {
        key <<= 16;
        if (at.offset < name.size()) key |= name[at.offset++];
    }
    return key;
}

#else

// The units are those that nameText makes of the bytes: a valid UTF-8
// character gives its code point, as a surrogate pair above U+FFFF; a byte
// that does not begin one gives the escape U+DC00 + byte.
std::uint64_t nextKey(NativeNameView name, Cursor& at) {
    std::uint64_t key = 0;
    int units = 0;
    std::size_t i = at.offset;
    bool second = at.secondHalf;
    auto put = [&](std::uint64_t unit) {
        key = key << 16 | unit;
        ++units;
    };
    while (units < kKeyUnits && i < name.size()) {
        const auto byte = static_cast<unsigned char>(name[i]);
        char32_t cp = byte;
        const std::size_t length = byte < 0x80 ? 1 : decodeUtf8(name, i, cp);
        if (length == 0) {
            put(0xDC00 + byte);
            ++i;
        } else if (cp < 0x10000) {
            put(cp);
            i += length;
        } else if (second) {  // the first unit of the pair ended the last key
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
            second = false;
            i += length;
        } else {
            put(0xD800 + ((cp - 0x10000) >> 10));
            if (units == kKeyUnits) {
                second = true;  // the second unit begins the next key
                break;
            }
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
            i += length;
        }
    }
    if (units != 0) key <<= 16 * (kKeyUnits - units);
    at = {static_cast<std::uint32_t>(i), second};
    return key;
}

#endif

// 12 bytes: a million of them live beside the names while they are sorted.
#pragma pack(push, 4)
struct Item {
    std::uint64_t key;
    std::uint32_t name;   // the name's number in the table
};
#pragma pack(pop)

// Items [first, last) whose keys agree above bit `shift` + 8, sorted next by
// the key byte at `shift`; `cursor` is where their keys were taken from.
struct Range {
    std::size_t first, last;
    int shift;
    Cursor cursor;
};

// Below this many items a comparison sort is quicker than a radix pass over
// 256 buckets.
constexpr std::size_t kSmall = 64;

class NameSorter {
public:
    NameSorter(NativeNameView arena, std::span<const std::uint32_t> ends) : arena_(arena), ends_(ends) {}

    void sort(std::span<std::uint32_t> positions) {
        items_.resize(positions.size());
        for (std::size_t k = 0; k < positions.size(); ++k) items_[k] = {0, positions[k]};
        fillKeys(0, items_.size(), Cursor{});
        while (!work_.empty()) {
            const Range range = work_.back();
            work_.pop_back();
            if (range.last - range.first < kSmall) {
                sortSmall(range);
            } else if (range.shift < 0) {
                tie(range.first, range.last, range.cursor);
            } else {
                partition(range);
            }
        }
        for (std::size_t k = 0; k < positions.size(); ++k) positions[k] = items_[k].name;
    }

private:
    std::uint32_t begin(std::uint32_t name) const { return name == 0 ? 0 : ends_[name - 1]; }
    NativeNameView name(const Item& item) const {
        const std::uint32_t at = begin(item.name);
        return arena_.substr(at, ends_[item.name] - at);
    }

    // Keys from `cursor` for items [first, last), queued for sorting from
    // the first key byte where they differ.
    void fillKeys(std::size_t first, std::size_t last, Cursor cursor) {
        std::uint64_t differ = 0;
        for (std::size_t k = first; k < last; ++k) {
#if defined(__GNUC__)
            // The names lie scattered in a table far larger than the cache
            // once the items are sorted; fetching ahead where the names end,
            // then the names, overlaps the waits.
            if (k + 16 < last) __builtin_prefetch(&ends_[items_[k + 16].name]);
            if (k + 8 < last) __builtin_prefetch(arena_.data() + begin(items_[k + 8].name));
#endif
            Cursor at = cursor;
            items_[k].key = nextKey(name(items_[k]), at);
            differ |= items_[k].key ^ items_[first].key;
        }
        // The first byte where they differ: -8 when they all agree.
        int shift = -8;
        while (shift < 56 && differ >> (shift + 8) != 0) shift += 8;
        work_.push_back({first, last, shift, cursor});
    }

    // Items with equal keys: their names agree on the units so far. Either
    // a name ended within the key (or holds a NUL unit, which no file name
    // does), and whole names decide, or all go on with their next units.
    void tie(std::size_t first, std::size_t last, Cursor cursor) {
        if ((items_[first].key & 0xFFFF) == 0) {
            std::sort(items_.begin() + first, items_.begin() + last, [this](const Item& a, const Item& b) {
                return compareNames(name(a), name(b)) < 0;
            });
            return;
        }
        // Equal units come from equal bytes, so every name of the run
        // continues at the same place.
        nextKey(name(items_[first]), cursor);
        fillKeys(first, last, cursor);
    }

    void sortSmall(const Range& range) {
        const auto begin = items_.begin();
        std::sort(begin + range.first, begin + range.last, [](const Item& a, const Item& b) { return a.key < b.key; });
        for (std::size_t run = range.first; run < range.last;) {
            std::size_t end = run + 1;
            while (end < range.last && items_[end].key == items_[run].key) ++end;
            if (end - run > 1) tie(run, end, range.cursor);
            run = end;
        }
    }

    // One pass of an in-place radix sort on the key byte at range.shift:
    // count the items of each byte value, then swap each item into its
    // bucket; the buckets are sorted on the next byte.
    void partition(const Range& range) {
        Item* const base = items_.data();
        radixPass(
            base + range.first, base + range.last,
            [&](const Item& item) { return static_cast<std::size_t>(item.key >> range.shift & 0xFF); },
            [&](Item* begin, Item* end) {
                work_.push_back({static_cast<std::size_t>(begin - base), static_cast<std::size_t>(end - base),
                                 range.shift - 8, range.cursor});
            });
    }

    NativeNameView arena_;
    std::span<const std::uint32_t> ends_;
    std::vector<Item> items_;
    std::vector<Range> work_;
};

}  // namespace

void sortNames(std::span<std::uint32_t> positions, NativeNameView arena, std::span<const std::uint32_t> ends) {
    if (positions.size() < 2) return;
    NameSorter(arena, ends).sort(positions);
}

}  // namespace qm::text
