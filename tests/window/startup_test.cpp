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

// Which folder start-up shows is the table below; here the cascade.
TEST_F(StartupTest, LoadShowsTheStartFolderAndCascades) {
    makeFiles(dir, "prog", 3);
    platform.programFolderPath = dir.u16("prog");
    platform.environment = {{u"windir", u"/win"}, {u"ProgramFiles", u"/pf"}, {u"HOME", dir.u16("prog")}};
    platform.version = Platform::VersionRecord{6, 1, 2};
    form->load();
    EXPECT_EQ(form->LDir.caption(), dir.u16("prog"));
    EXPECT_EQ(form->LDirOut.caption(), startFolderFor(dir.u16("prog"), dir.u16("prog")));
    EXPECT_EQ(form->LFiles.caption(), u"3");
    EXPECT_EQ(form->TDivs.text(), u"3");  // fewer files than the 5 shares
    EXPECT_EQ(form->TParts.text(), u"50");
    EXPECT_TRUE(form->CmdDo.enabled());
    EXPECT_TRUE(form->IsWin7OrAbove);
    EXPECT_EQ(form->WinDirPath, u"/win");
    EXPECT_EQ(form->ProgramFilesPath, u"/pf");
    EXPECT_EQ(form->Combo1.text(), u"*.*");
}

// The folders a first run reads and writes: the program's folder and its
// drive root where there are drives; where there are none, the home folder
// for both, never the system folder the program is installed in.
TEST(StartFolder, DriveRootOrHomeFolder) {
    // Both kinds of system, whichever this test runs on.
    struct DrivePlatform : FakePlatform {
        PathStyle pathStyle() const override { return {u'\\', true}; }
    };
    struct NoDrivePlatform : FakePlatform {
        PathStyle pathStyle() const override { return {u'/', false}; }
    };
    struct Row {
        bool drives;
        std::u16string programFolder, home, start, source;
    };
    const std::vector<Row> rows{{true, u"D:\\Tools", u"C:\\Users\\u", u"D:\\", u"D:\\Tools"},
                                {true, u"\\\\srv\\share", u"", u"\\\\s", u"\\\\srv\\share"},
                                {false, u"/usr/bin", u"/home/u", u"/home/u", u"/home/u"},
                                {false, u"/opt/qm", u"/home/u//", u"/home/u", u"/home/u"},
                                {false, u"/opt/qm", u"/", u"/", u"/"},
                                {false, u"/usr/bin", u"", u"/", u"/"}};
    for (const Row& r : rows) {
        std::unique_ptr<FakePlatform> platform =
            r.drives ? std::unique_ptr<FakePlatform>(std::make_unique<DrivePlatform>()) : std::make_unique<NoDrivePlatform>();
        platform->programFolderPath = r.programFolder;
        platform->environment = {{u"HOME", r.home}};
        Form1 form(*platform);
        EXPECT_EQ(form.StartFolder(), r.start) << utf8(r.programFolder) << " HOME=" << utf8(r.home);
        form.load();
        EXPECT_EQ(form.LDir.caption(), r.source) << utf8(r.programFolder) << " HOME=" << utf8(r.home);
        EXPECT_EQ(form.LDirOut.caption(), r.start) << utf8(r.programFolder) << " HOME=" << utf8(r.home);
    }
}

TEST_F(StartupTest, AFolderWithoutMatchingFilesLeavesTheButtonDisabled) {
    platform.programFolderPath = dir.u16("nowhere");
    platform.environment = {{u"HOME", dir.u16("nowhere")}};
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
