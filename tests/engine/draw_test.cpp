#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "engine/draw.h"
#include "engine/plan.h"

namespace qm::test {
namespace {

TEST(Draw, TheGeneratorIsTheOneTheStandardFixes) {
    // The 10000th output of a default-seeded mt19937_64 is fixed by the C++
    // standard; a seed therefore deals the same on every machine and build.
    std::mt19937_64 reference;
    reference.discard(9999);
    EXPECT_EQ(reference(), 9981545732273789042ull);
    auto rows = drawKeys(10000, std::mt19937_64::default_seed);
    EXPECT_EQ(rows.back().key, 9981545732273789042ull);
}

TEST(Draw, SortedListIsAPermutationInKeyOrder) {
    for (std::uint32_t n : {1u, 2u, 17u, 100000u}) {
        auto rows = drawKeys(n, 7);
        sortByKey(rows);
        std::vector<std::uint32_t> entries(n);
        std::transform(rows.begin(), rows.end(), entries.begin(), [](const DispatchRow& r) { return r.entry; });
        std::sort(entries.begin(), entries.end());
        std::vector<std::uint32_t> all(n);
        std::iota(all.begin(), all.end(), 0u);
        EXPECT_EQ(entries, all) << n;
        EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(),
                                   [](const DispatchRow& a, const DispatchRow& b) { return a.key < b.key; }));
    }
}

TEST(Draw, EqualKeysKeepListOrder) {
    std::vector<DispatchRow> rows{{0, 5}, {1, 3}, {2, 5}, {3, 3}, {4, 10}, {5, 9}};
    sortByKey(rows);
    std::vector<std::uint32_t> order;
    for (const auto& r : rows) order.push_back(r.entry);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 3, 0, 2, 5, 4}));

    // Enough rows for the radix passes, few keys, differing in their top,
    // middle and bottom bytes.
    const std::uint64_t keys[] = {0, 1, 0x100, 0x5000000000, 1ull << 56, ~0ull};
    std::mt19937 random(3);
    std::vector<DispatchRow> many;
    for (std::uint32_t j = 0; j < 3000; ++j) many.push_back({j, keys[random() % 6]});
    std::vector<DispatchRow> expected = many;
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    sortByKey(many);
    EXPECT_TRUE(std::equal(many.begin(), many.end(), expected.begin(),
                           [](const auto& a, const auto& b) { return a.entry == b.entry; }));
}

TEST(Draw, DifferentSeedsDealDifferently) {
    auto a = drawKeys(50, 1), b = drawKeys(50, 2);
    sortByKey(a);
    sortByKey(b);
    bool same = std::equal(a.begin(), a.end(), b.begin(), [](auto& x, auto& y) { return x.entry == y.entry; });
    EXPECT_FALSE(same);
}

// 8 files into 8 shares of one: every file must open share 1 equally often.
// Narrow keys (0 to 2N-1) that tie and keep list order give the first name
// about 1.6 times the share of the last; this catches any such bias.
TEST(Draw, EveryFileIsEquallyLikelyToComeFirst) {
    constexpr int kFiles = 8, kTrials = 40000;
    std::vector<int> first(kFiles, 0);
    for (int t = 0; t < kTrials; ++t) {
        auto rows = drawKeys(kFiles, static_cast<std::uint64_t>(t) * 7919u + 1);
        sortByKey(rows);
        ++first[rows.front().entry];
    }
    const double expected = kTrials / double(kFiles);
    for (int f = 0; f < kFiles; ++f) {
        // 5000 expected, sd about 66: a 6% band is over four sd wide.
        EXPECT_NEAR(first[f], expected, expected * 0.06) << "file " << f;
    }
    EXPECT_LT(double(first.front()) / first.back(), 1.12);
}

}  // namespace
}  // namespace qm::test
