#include <gtest/gtest.h>

#include <filesystem>

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
        EXPECT_EQ(GetOSVersionName(System::VersionRecord{r.major, r.minor, r.id}), r.answer)
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
    platform.version = System::VersionRecord{6, 1, 2};
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

// Built without a home page, the link opens the read-me: the installed one
// (Linux: the package's documentation folder beside bin/), else the one
// beside the program (the Windows zip, a build folder); with neither it
// beeps, so that a click is never lost.
TEST_F(StartupTest, TheLinkOpensTheReadMeOrBeeps) {
    struct Row {
        std::vector<std::string> files;  // under the temporary folder; the program is in bin/
        std::string opened;              // empty: a beep
    };
    std::vector<Row> rows{{{"bin/README.txt"}, "bin/README.txt"}, {{}, ""}};
#ifndef _WIN32
    rows.push_back({{"share/doc/quillmarsh/README.txt", "bin/README.txt"}, "share/doc/quillmarsh/README.txt"});
    rows.push_back({{"share/doc/quillmarsh/README.txt"}, "share/doc/quillmarsh/README.txt"});
#endif
    for (const Row& r : rows) {
        TempDir folder;
        std::filesystem::create_directories(folder.path() / "bin");
        for (const std::string& file : r.files) folder.write(file, "read me");
        FakePlatform system;
        system.programFolderPath = folder.u16("bin");
        Form1 window(system);
        window.mouseMove(window.Label5);
        window.click(window.Label5);
        const std::vector<std::u16string> opened =
            r.opened.empty() ? std::vector<std::u16string>{} : std::vector<std::u16string>{folder.u16(r.opened)};
        EXPECT_EQ(system.opened, opened) << r.opened;
        EXPECT_EQ(system.beeps, r.opened.empty() ? 1 : 0) << r.opened;
        EXPECT_EQ(system.calls.front(), u"pointer");
    }
}

}  // namespace
}  // namespace qm::test
