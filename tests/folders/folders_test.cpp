#include <gtest/gtest.h>

#include "folders/newdir.h"
#include "support/form_fixture.h"

namespace qm::test {
namespace {

const std::u16string kWarning = u"该目录不可用，请重新指定。";

class FoldersTest : public FormTest {
protected:
    void SetUp() override {
        makeFiles(dir, "photos", 3);
        makeFiles(dir, "docs", 2);
    }
    std::size_t warnings() const {
        std::size_t n = 0;
        for (const auto& b : platform.boxes) {
            if (b.prompt == kWarning && b.title == u"警告" && b.icon == MsgIcon::Critical) ++n;
        }
        return n;
    }
};

TEST(LooksLikeFolder, TheLastSevenCharactersHoldNoDot) {
    const std::vector<std::pair<std::u16string, bool>> cases{
        {u"/home/u/photos", true},       {u"/home/u/IMG_0001.jpg", false}, {u"/home/u/notes", true},
        {u"/home/u/archive.longext", true}, {u"/home/u/v1.2/photos", true}, {u"/home/u/my.folder", false},
        {u"a.b", false},                 {u"", true}};
    for (const auto& [path, folder] : cases) EXPECT_EQ(LooksLikeFolder(path), folder) << utf8(path);
}

TEST(NewDir, SeparatorsAreFoldedAndOneIsAppended) {
    EXPECT_EQ(WithOneTrailingSeparator(u"/a/b", u'/'), u"/a/b/");
    EXPECT_EQ(WithOneTrailingSeparator(u"/a/b/", u'/'), u"/a/b/");
    EXPECT_EQ(WithOneTrailingSeparator(u"/", u'/'), u"/");
    EXPECT_EQ(WithOneTrailingSeparator(u"C:\\", u'\\'), u"C:\\");
    EXPECT_EQ(WithOneTrailingSeparator(u"a//b///c", u'/'), u"a/b//c/");  // one pass, non-overlapping
}

TEST_F(FoldersTest, ADialogChoiceEndsInOneSeparatorAndIsCounted) {
    platform.environment = {{u"HOME", dir.u16("docs")}};
    platform.dialogResults = {dir.u16("photos")};
    form->click(form->CmdIn);
    EXPECT_EQ(form->LDir.caption(), dir.u16("photos") + kSep);
    EXPECT_EQ(form->LFiles.caption(), u"3");
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].title, u"选择输出目录：");
    EXPECT_EQ(platform.dialogs[0].initialFolder, WithOneTrailingSeparator(startFolderFor(kProgramFolder, dir.u16("docs")), kSep));
    EXPECT_FALSE(platform.dialogs[0].newStyle);
}

TEST_F(FoldersTest, ChoosingTheSameFolderAgainRecountsIt) {
    platform.dialogResults = {dir.u16("photos"), dir.u16("photos")};
    form->click(form->CmdIn);
    dir.write("photos/new.txt", "n");
    form->click(form->CmdIn);
    EXPECT_EQ(form->LFiles.caption(), u"4");
}

TEST_F(FoldersTest, UnusableChoicesAreRefusedAndTheDialogOpensAgain) {
    dir.write("odd{name/x.txt", "x");
    platform.dialogResults = {dir.u16("odd{name"), dir.u16("docs")};
    form->click(form->CmdIn);
    EXPECT_EQ(warnings(), 1u);
    EXPECT_EQ(platform.dialogs.size(), 2u);
    EXPECT_EQ(form->LDir.caption(), dir.u16("docs") + kSep);
    EXPECT_EQ(form->LFiles.caption(), u"2");
}

TEST_F(FoldersTest, CancelLeavesEverythingAsItWas) {
    form->LDir.setCaption(dir.u16("photos"));
    platform.dialogResults = {u""};
    form->click(form->CmdIn);
    platform.dialogResults = {u""};
    form->click(form->CmdOut);
    EXPECT_EQ(form->LDir.caption(), dir.u16("photos"));
    EXPECT_EQ(form->LDirOut.caption(), u"");
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(FoldersTest, AVanishedFolderFromTheDialogIsLikeACancel) {
    platform.dialogResults = {dir.u16("gone")};
    form->click(form->CmdIn);
    EXPECT_EQ(form->LDir.caption(), u"");
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_EQ(platform.dialogs.size(), 1u);
}

TEST_F(FoldersTest, AChoiceIsProbedWithoutDisturbingTheSourceSide) {
    form->LDir.setCaption(dir.u16("photos"));
    platform.dialogResults = {dir.u16("docs")};
    form->click(form->CmdOut);
    EXPECT_EQ(form->LDirOut.caption(), dir.u16("docs") + kSep);
    EXPECT_EQ(form->File1.path(), dir.u16("photos"));
    EXPECT_EQ(form->File1.count(), 3u);
    EXPECT_EQ(form->LFiles.caption(), u"3");
    EXPECT_TRUE(platform.dialogs[0].newStyle);
    EXPECT_EQ(platform.dialogs[0].title, u"选择输出目录：");
}

TEST_F(FoldersTest, ANewChoiceIsTakenEvenAfterTheShownSourceWasRemoved) {
    form->LDir.setCaption(dir.u16("photos"));
    std::filesystem::remove_all(dir.native("photos"));
    platform.dialogResults = {dir.u16("docs")};
    form->click(form->CmdIn);
    EXPECT_EQ(warnings(), 0u);
    EXPECT_EQ(form->LFiles.caption(), u"2");
}

struct SystemFolderCase {
    const char* name;
    bool newer;
    std::u16string windir, programFiles;
    std::string chosen;  // relative to the temporary folder
    bool refused;
};

void PrintTo(const SystemFolderCase& c, std::ostream* os) { *os << c.name; }

class SystemFolderTest : public FoldersTest, public ::testing::WithParamInterface<SystemFolderCase> {};

TEST_P(SystemFolderTest, TargetsInSystemFoldersAreRefusedOnNewerSystems) {
    const SystemFolderCase& c = GetParam();
    makeFiles(dir, "Windows/System32", 1);
    makeFiles(dir, "WindowsApps", 1);
    makeFiles(dir, "windows", 1);
    form->IsWin7OrAbove = c.newer;
    form->WinDirPath = c.windir.empty() ? u"" : dir.u16(utf8(c.windir));
    form->ProgramFilesPath = c.programFiles;
    platform.dialogResults = {dir.u16(c.chosen)};
    form->click(form->CmdOut);
    EXPECT_EQ(warnings(), c.refused ? 1u : 0u);
    EXPECT_EQ(form->LDirOut.caption(), c.refused ? u"" : dir.u16(c.chosen) + kSep);
    EXPECT_EQ(platform.dialogs[0].title, c.newer ? u"选择输出目录(切勿指定只读目录如【Windows】及【Programe Files】)："
                                                 : u"选择输出目录：");
    // The same folder dropped: refused with the same warning, or taken as it is.
    platform.boxes.clear();
    form->LDirOut.setCaption(u"");
    form->drop(form->LDirOut, {dir.u16(c.chosen)});
    EXPECT_EQ(warnings(), c.refused ? 1u : 0u);
    EXPECT_EQ(form->LDirOut.caption(), c.refused ? u"" : dir.u16(c.chosen));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SystemFolderTest,
    ::testing::Values(SystemFolderCase{"windowsItself", true, u"Windows", u"", "Windows", true},
                      SystemFolderCase{"below", true, u"Windows", u"", "Windows/System32", true},
                      SystemFolderCase{"siblingWithSuffix", true, u"Windows", u"", "WindowsApps", true},
                      SystemFolderCase{"otherLetterCase", true, u"Windows", u"", "windows", false},
                      SystemFolderCase{"olderSystem", false, u"Windows", u"", "Windows", false},
                      SystemFolderCase{"emptyVariablesRefuseNothing", true, u"", u"", "docs", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FoldersTest, DropsTakeTheFirstFolderLikeEntry) {
    form->drop(form->LDir, {dir.u16("photos/f000.txt"), dir.u16("docs"), dir.u16("photos")});
    EXPECT_EQ(form->LDir.caption(), dir.u16("docs"));
    EXPECT_EQ(form->LFiles.caption(), u"2");
    EXPECT_EQ(platform.beeps, 0);
}

TEST_F(FoldersTest, DropsWithoutAFolderBeepAndChangeNothing) {
    form->LDir.setCaption(dir.u16("photos"));
    form->drop(form->LDir, {dir.u16("photos/f000.txt")});
    form->drop(form->LDirOut, {});
    EXPECT_EQ(platform.beeps, 2);
    EXPECT_EQ(form->LDir.caption(), dir.u16("photos"));
    EXPECT_EQ(form->LDirOut.caption(), u"");
}

TEST_F(FoldersTest, ADroppedPathThatCannotBeListedCountsNothing) {
    form->LDir.setCaption(dir.u16("photos"));
    dir.write("photos/noext", "x");
    form->drop(form->LDir, {dir.u16("photos/noext")});  // a file without extension passes the test
    EXPECT_EQ(form->LDir.caption(), dir.u16("photos/noext"));
    EXPECT_EQ(form->LFiles.caption(), u"0");
    EXPECT_EQ(form->File1.count(), 0u);
    EXPECT_FALSE(form->CmdDo.enabled());
}

TEST_F(FoldersTest, ABraceIsTakenWhenDropped) {
    dir.write("odd{name/x.txt", "x");
    form->drop(form->LDir, {dir.u16("odd{name")});
    EXPECT_EQ(form->LFiles.caption(), u"1");
}

}  // namespace
}  // namespace qm::test
