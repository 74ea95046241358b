#include <gtest/gtest.h>

#include "support/form_fixture.h"
#include "window/os_version.h"

namespace qm::test {
namespace {

TEST(OsVersion, AnswersByPlatformMajorAndMinor) {
    struct Row {
        std::uint32_t id, major, minor;
        std::u16string answer;
    };
    const std::vector<Row> rows{{1, 4, 0, u"Windows 95"},     {1, 4, 10, u"Windows 98"},
                                {1, 4, 90, u"Windows Mellinnium"}, {1, 4, 3, u""},
                                {2, 3, 51, u"Windows NT 3.51"}, {2, 4, 0, u"Windows NT 4.0"},
                                {2, 5, 0, u"Windows 2000"},     {2, 5, 1, u"Windows XP"},
                                {2, 5, 2, u"Windows XP"},       {2, 6, 0, u"Win7OrAbove"},
                                {2, 6, 1, u"Win7OrAbove"},      {2, 10, 0, u"Win7OrAbove"},
                                {2, 2, 0, u"Win7OrAbove"},      {0, 6, 1, u"Failed"},
                                {3, 6, 1, u"Failed"}};
    for (const Row& r : rows) {
        EXPECT_EQ(GetOSVersionName(Platform::VersionRecord{r.major, r.minor, r.id}), r.answer)
            << r.id << " " << r.major << "." << r.minor;
    }
    EXPECT_EQ(GetOSVersionName(std::nullopt), u"Failed");
}

class StartupTest : public FormTest {};

TEST_F(StartupTest, LoadShowsTheProgramFolderAndCascades) {
    makeFiles(dir, "prog", 3);
    platform.programFolderPath = dir.u16("prog");
    platform.environment = {{u"windir", u"/win"}, {u"ProgramFiles", u"/pf"}};
    platform.version = Platform::VersionRecord{6, 1, 2};
    form->load();
    EXPECT_EQ(form->LDir.caption(), dir.u16("prog"));
    EXPECT_EQ(form->LDirOut.caption(), driveRootOf(dir.u16("prog")));
    EXPECT_EQ(form->LFiles.caption(), u"3");
    EXPECT_EQ(form->TDivs.text(), u"3");  // fewer files than the 5 shares
    EXPECT_EQ(form->TParts.text(), u"50");
    EXPECT_TRUE(form->CmdDo.enabled());
    EXPECT_TRUE(form->IsWin7OrAbove);
    EXPECT_EQ(form->WinDirPath, u"/win");
    EXPECT_EQ(form->ProgramFilesPath, u"/pf");
    EXPECT_EQ(form->Combo1.text(), u"*.*");
}

TEST_F(StartupTest, AFolderWithoutMatchingFilesLeavesTheButtonDisabled) {
    platform.programFolderPath = dir.u16("nowhere");
    form->load();
    EXPECT_EQ(form->LFiles.caption(), u"0");
    EXPECT_FALSE(form->CmdDo.enabled());
    EXPECT_FALSE(form->IsWin7OrAbove);  // no version record here
}

TEST_F(StartupTest, TheLinkChangesThePointerAndOpensNothingWithoutAnAddress) {
    form->mouseMove(form->Label5);
    form->click(form->Label5);
    EXPECT_EQ(platform.calls, std::vector<std::u16string>{u"pointer"});
    EXPECT_TRUE(platform.opened.empty());
}

}  // namespace
}  // namespace qm::test
