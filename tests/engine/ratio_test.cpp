// Share sizes by ratio, and folder by folder.
#include <gtest/gtest.h>

#include "engine/ratio.h"

namespace qm::test {
namespace {

using Sizes = std::vector<std::uint64_t>;

TEST(Ratio, SharesInProportionLeftoversToTheLargestRemainders) {
    const struct {
        std::uint64_t files;
        Sizes weights, sizes;
    } cases[] = {
        {100, {8, 1, 1}, {80, 10, 10}},
        {7, {8, 1, 1}, {5, 1, 1}},      // 5.6, 0.7, 0.7: two left over, to the two .7s
        {10, {1, 1, 1}, {4, 3, 3}},     // ties go to the lower share
        {2, {1, 1, 1}, {1, 1, 0}},
        {1, {1, 3}, {0, 1}},
        {0, {2, 5}, {0, 0}},
        {4294967295, {1000000, 1}, {4294963000, 4295}},  // no product overflows
    };
    for (const auto& c : cases) EXPECT_EQ(ratioSizes(c.files, c.weights), c.sizes) << c.files;
}

// Every share gets its part of every folder; a folder's leftovers go to the
// shares furthest below their part of the whole so far, so they stay balanced.
TEST(Ratio, FolderByFolderEveryShareGetsItsPart) {
    const struct {
        Sizes weights;
        std::vector<std::uint64_t> groups;
        std::vector<Sizes> sizes;
    } cases[] = {
        {{8, 1, 1}, {40, 20, 10}, {{32, 4, 4}, {16, 2, 2}, {8, 1, 1}}},
        {{1, 1, 1}, {1, 1, 1, 1}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}}},
        {{1, 1}, {3, 3}, {{2, 1}, {1, 2}}},
        {{8, 1, 1}, {7, 7}, {{5, 1, 1}, {6, 1, 0}}},  // 11/2/1 of 14 (11.2, 1.4, 1.4): the tie to the lower share
    };
    for (const auto& c : cases) {
        RatioDealer dealer(c.weights);
        for (std::size_t g = 0; g < c.groups.size(); ++g) EXPECT_EQ(dealer.next(c.groups[g]), c.sizes[g]) << g;
    }
}

}  // namespace
}  // namespace qm::test
