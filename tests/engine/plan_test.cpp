#include <gtest/gtest.h>

#include "engine/plan.h"
#include "support/form_fixture.h"

namespace qm::test {
namespace {

const PathStyle kWindows{u'\\', true};
const PathStyle kLinux{u'/', false};

struct KeptCase {
    const char* name;
    PathStyle style;
    std::u16string caption;
    bool folderNameOnly;
    std::u16string kept;
};

void PrintTo(const KeptCase& c, std::ostream* os) { *os << c.name; }

class KeptPathTest : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptPathTest, FromCaptionToKeptPath) {
    const KeptCase& c = GetParam();
    EXPECT_EQ(keptPath(sourcePathOf(c.caption, c.style), c.folderNameOnly, c.style), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, KeptPathTest,
    ::testing::Values(
        KeptCase{"winFullPath", kWindows, u"C:\\photos\\summer", false, u"\\photos\\summer"},
        KeptCase{"winFullPathTrailing", kWindows, u"C:\\photos\\summer\\", false, u"\\photos\\summer"},
        KeptCase{"winFolderName", kWindows, u"C:\\photos\\summer\\", true, u"\\summer"},
        KeptCase{"winRootFullPath", kWindows, u"C:\\", false, u"\\"},
        KeptCase{"winRootFolderName", kWindows, u"C:\\", true, u"\\C"},
        KeptCase{"winNetworkFullPath", kWindows, u"\\\\srv\\share\\x", false, u"\\srv\\share\\x"},
        KeptCase{"linuxFullPath", kLinux, u"/home/u/photos/", false, u"/home/u/photos"},
        KeptCase{"linuxFolderName", kLinux, u"/home/u/photos", true, u"/photos"},
        KeptCase{"linuxRootFolderName", kLinux, u"/", true, u"/"},
        KeptCase{"linuxRootFullPath", kLinux, u"/", false, u"/"},
        KeptCase{"linuxRelativeName", kLinux, u"photos", true, u"/photos"},
        KeptCase{"linuxChineseName", kLinux, u"/数据/照片", true, u"/照片"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ShareCase {
    bool fixed;
    std::uint64_t files, setting, count, size;
    std::vector<std::uint64_t> perShare;  // files that land in each share
};

void PrintTo(const ShareCase& c, std::ostream* os) {
    *os << (c.fixed ? "fixed" : "average") << " files=" << c.files << " setting=" << c.setting;
}

class ShareCountsTest : public ::testing::TestWithParam<ShareCase> {};

TEST_P(ShareCountsTest, CountsSizesAndWhereEachFileLands) {
    const ShareCase& c = GetParam();
    ShareCounts s = c.fixed ? fixedShares(c.files, c.setting) : averageShares(c.files, c.setting);
    EXPECT_EQ(s.count, c.count);
    EXPECT_EQ(s.size, c.size);
    std::vector<std::uint64_t> landed(s.count, 0);
    for (std::uint64_t i = 0; i < c.files; ++i) ++landed.at(shareOf(i, s) - 1);
    EXPECT_EQ(landed, c.perShare);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ShareCountsTest,
    ::testing::Values(ShareCase{true, 120, 50, 3, 50, {50, 50, 20}}, ShareCase{true, 100, 50, 2, 50, {50, 50}},
                      ShareCase{true, 7, 7, 1, 7, {7}}, ShareCase{true, 3, 1, 3, 1, {1, 1, 1}},
                      ShareCase{false, 12, 5, 6, 2, {2, 2, 2, 2, 2, 2}}, ShareCase{false, 10, 5, 5, 2, {2, 2, 2, 2, 2}},
                      ShareCase{false, 19, 5, 6, 3, {3, 3, 3, 3, 3, 4}}, ShareCase{false, 7, 5, 6, 1, {1, 1, 1, 1, 1, 2}},
                      ShareCase{false, 4, 4, 4, 1, {1, 1, 1, 1}}));

TEST(ShareCounts, LargeCountsAreNotSixteenBit) {
    ShareCounts s = averageShares(100000, 7);
    EXPECT_EQ(s.count, 8u);
    EXPECT_EQ(s.size, 14285u);
    EXPECT_EQ(shareOf(99999, s), 8u);
    EXPECT_EQ(shareOf(14285 * 7 - 1, s), 7u);
    EXPECT_EQ(fixedShares(100000, 1).count, 100000u);
}

}  // namespace
}  // namespace qm::test
