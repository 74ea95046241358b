// Whole dispatch runs through the window, over real temporary folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <map>

#include "engine/draw.h"
#include "support/form_fixture.h"

namespace qm::test {
namespace {

class DispatchRunTest : public FormTest {
protected:
    // Every file under the share folders: name -> share folder.
    std::map<std::string, std::string> dealt(const std::string& out) {
        std::map<std::string, std::string> where;
        for (const std::string& share : dir.list(out)) {
            for (const std::string& f : dir.list(out + "/" + share)) where[f] = share;
        }
        return where;
    }
    std::map<std::string, int> sizes(const std::string& out) {
        std::map<std::string, int> n;
        for (const auto& [file, share] : dealt(out)) ++n[share];
        return n;
    }
    std::string log() { return logText(dir.read("分发失败记录.txt")); }
};

TEST_F(DispatchRunTest, AverageCopyRunWithRemainderFillsAnExtraShare) {
    makeFiles(dir, "src", 19);
    useFolders("src", "out");
    form->TDivs.setText(u"5");
    ASSERT_TRUE(form->click(form->CmdDo));
    EXPECT_EQ(sizes("out"), (std::map<std::string, int>{
                                {"src_分发1", 3}, {"src_分发2", 3}, {"src_分发3", 3}, {"src_分发4", 3}, {"src_分发5", 3}, {"src_分发6", 4}}));
    EXPECT_EQ(dealt("out").size(), 19u);
    EXPECT_EQ(dir.list("src").size(), 19u);  // a copy run leaves the sources
    for (const auto& [file, share] : dealt("out")) EXPECT_EQ(dir.read("out/" + share + "/" + file), file.substr(0, 4));
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].prompt, u"分发完毕！");
    EXPECT_EQ(platform.boxes[0].title, u"消息");
    EXPECT_EQ(platform.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(platform.opened, std::vector<std::u16string>{dir.u16("out")});
    EXPECT_FALSE(dir.exists("分发失败记录.txt"));
    EXPECT_TRUE(form->CmdDo.enabled());
}

TEST_F(DispatchRunTest, FixedRunWithFullPathBuildsTheWholeSourcePathBelowTheTarget) {
    makeFiles(dir, "a/b", 12);
    form->LDir.setCaption(dir.u16("a/b") + kSep);  // as the dialog gives it
    form->LDirOut.setCaption(dir.u16("out"));
    form->click(form->Opt1);
    form->TParts.setText(u"5");
    form->click(form->Option1);
    form->click(form->CmdDo);
    const std::string root = "out" + dir.withoutDrive() + "/a";
    EXPECT_EQ(sizes(root), (std::map<std::string, int>{{"b_分发1", 5}, {"b_分发2", 5}, {"b_分发3", 2}}));
}

TEST_F(DispatchRunTest, StepsRunInTheirOrder) {
    makeFiles(dir, "src", 3);
    useFolders("src", "out");
    dir.write("分发失败记录.txt", "an earlier run's");
    form->ChBackUp.setValue(1);
    platform.answers = {MsgResult::Ok};
    std::vector<std::u16string> titles;
    std::vector<bool> enabledStates;  // at each change of the title
    form->observe([&] {
        if (!titles.empty() && titles.back() == form->caption()) return;
        titles.push_back(form->caption());
        enabledStates.push_back(form->enabled());
    });
    form->click(form->CmdDo);
    const int question = platform.indexOf(u"box 消息: 在分发的同时移走原文件？");
    const int mkdir = platform.indexOf(u"mkdir ");
    const int createLog = platform.indexOf(u"create ");
    const int firstMove = platform.indexOf(u"move ");
    const int report = platform.indexOf(u"box 消息: 分发完毕！");
    const int deleteLog = platform.indexOf(u"delete ");
    const int open = platform.indexOf(u"open ");
    EXPECT_EQ(question, 0);
    EXPECT_LT(question, mkdir);
    EXPECT_LT(mkdir, firstMove);
    EXPECT_LT(firstMove, report);
    EXPECT_LT(report, createLog);  // no log before a failure; an earlier one goes at the end
    EXPECT_LT(report, deleteLog);
    EXPECT_LT(deleteLog, open);
    // Disabled from before the first file to after the last; progress in the title.
    const std::u16string busy = u"Quillmarsh  正在随机分发，请稍候...";
    std::vector<std::u16string> progress;
    for (const auto& t : titles) {
        if (t.starts_with(busy)) progress.push_back(t.substr(busy.size()));
    }
    EXPECT_EQ(progress, (std::vector<std::u16string>{u"1/3", u"2/3", u"3/3"}));
    // Each progress title and the restored title are shown while disabled;
    // the window is enabled again only after the title is back.
    EXPECT_EQ(std::vector<bool>(enabledStates.end() - 4, enabledStates.end()), std::vector<bool>(4, false));
    EXPECT_TRUE(form->enabled());
    EXPECT_EQ(form->caption(), u"Quillmarsh");
    EXPECT_EQ(form->tag(), u"Quillmarsh");
}

TEST_F(DispatchRunTest, MoveRunMovesEveryFileAndLeavesTheButtonDisabled) {
    makeFiles(dir, "src", 6);
    useFolders("src", "out");
    form->click(form->ChBackUp);
    platform.answers = {MsgResult::Ok};
    form->click(form->CmdDo);
    EXPECT_TRUE(dir.list("src").empty());
    EXPECT_EQ(dealt("out").size(), 6u);
    EXPECT_EQ(form->LFiles.caption(), u"0");
    EXPECT_FALSE(form->CmdDo.enabled());
    EXPECT_EQ(form->ChBackUp.value(), 0);
    EXPECT_EQ(form->File1.count(), 0u);  // refreshed after the run
}

TEST_F(DispatchRunTest, CancellingTheMoveQuestionCopiesAndClearsTheChoice) {
    makeFiles(dir, "src", 4);
    useFolders("src", "out");
    form->click(form->ChBackUp);
    platform.answers = {MsgResult::Cancel};
    form->click(form->CmdDo);
    EXPECT_EQ(platform.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(platform.boxes[0].defaultButton, 1);
    EXPECT_EQ(dir.list("src").size(), 4u);
    EXPECT_EQ(dealt("out").size(), 4u);
    EXPECT_EQ(platform.indexOf(u"move "), -1);
    EXPECT_EQ(form->ChBackUp.value(), 0);
    EXPECT_EQ(form->LFiles.caption(), u"4");
    EXPECT_TRUE(form->CmdDo.enabled());
}

TEST_F(DispatchRunTest, AClashWithDifferentContentFailsIsLoggedAndTouchesNeither) {
    makeFiles(dir, "src", 3);
    useFolders("src", "out");
    form->TDivs.setText(u"1");
    dir.write("out/src_分发1/f001.txt", "someone else's file");
    dir.write("out/src_分发1/f002.txt", "f002");  // the same file, already dealt
    form->click(form->CmdDo);
    EXPECT_EQ(dir.read("out/src_分发1/f001.txt"), "someone else's file");
    EXPECT_EQ(dir.read("src/f001.txt"), "f001");
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].prompt, u"分发完毕！因文件访问错误，分发失败1份。\r\n稍候请参见分发失败的记录。\r\n其中1个文件因目标位置已有不同的同名文件而未分发。");
    const std::string expectedLog =
        "分发失败记录列表详情：\r\n" + dir.str("src/f001.txt") + "  →  " + dir.str("out/src_分发1/f001.txt") + "\r\n";
    EXPECT_EQ(log(), expectedLog);
    // The log opens first, then the target folder.
    EXPECT_EQ(platform.opened, (std::vector<std::u16string>{dir.u16("分发失败记录.txt"), dir.u16("out")}));
}

TEST_F(DispatchRunTest, AMoveThatCouldOnlyCopySaysSo) {
    makeFiles(dir, "src", 3);
    useFolders("src", "out");
    form->TDivs.setText(u"1");
    dir.write("out/src_分发1/f000.txt", "f000");  // already dealt: counts as done, the source stays
    dir.write("out/src_分发1/f001.txt", "other");  // a clash: fails
    form->click(form->ChBackUp);
    platform.answers = {MsgResult::Ok};
    form->click(form->CmdDo);
    EXPECT_EQ(platform.boxes.back().prompt,
              u"分发完毕！因文件访问错误，分发失败1份。\r\n稍候请参见分发失败的记录。\r\n其中1个文件因目标位置已有不同的同名文件而未分发。"
              u"\r\n其中1个文件只能复制，原文件未移走。");
    EXPECT_EQ(dir.list("src"), (std::vector<std::string>{"f000.txt", "f001.txt"}));
}

// A log whose place fails while it is written (a full disk) is written whole
// at the next place; a log that no place can hold is reported as missing.
TEST_F(DispatchRunTest, ALogThatCannotBeWrittenMovesOnWhole) {
    makeFiles(dir, "src", 3);
    useFolders("src", "out");
    form->TDivs.setText(u"1");
    for (const char* name : {"f000.txt", "f001.txt", "f002.txt"}) dir.write(std::string("out/src_分发1/") + name, "x");
    platform.logPaths = {dir.u16("log1.txt"), dir.u16("log2.txt"), dir.u16("log3.txt")};
    platform.failWritesFrom = {{dir.u16("log1.txt"), 3}, {dir.u16("log2.txt"), 4}};
    form->click(form->CmdDo);
    EXPECT_FALSE(dir.exists("log1.txt"));
    EXPECT_FALSE(dir.exists("log2.txt"));
    const std::string log3 = dir.read("log3.txt");
    EXPECT_EQ(std::count(log3.begin(), log3.end(), '\n'), 4) << log3;
    EXPECT_EQ(platform.opened.front(), dir.u16("log3.txt"));

    platform.failWritesFrom[dir.u16("log3.txt")] = 2;
    platform.opened.clear();
    form->click(form->CmdDo);
    EXPECT_TRUE(platform.boxes.back().prompt.ends_with(u"\r\n分发失败的记录无法创建。\r\n其中3个文件因目标位置已有不同的同名文件而未分发。"));
    EXPECT_EQ(platform.opened, std::vector<std::u16string>{dir.u16("out")});
    EXPECT_FALSE(dir.exists("log3.txt"));
}

// A copy run deals with two threads; what it reports still comes in the
// order of the deal, as from one thread: here the log's lines.
// The failure log holds every failed file on a whole line: with one worker
// in the draw's order, with many in the order they finished.
TEST_F(DispatchRunTest, ACopyRunLogsEveryFailedFileOnAWholeLine) {
    const int files = 300;
    makeFiles(dir, "src", files);
    auto name = [](std::uint32_t i) {
        char n[16];
        std::snprintf(n, sizeof n, "f%03u.txt", i);
        return std::string(n);
    };
    std::vector<DispatchRow> order = drawKeys(files, platform.seed);
    sortByKey(order);
    std::vector<std::string> expected;
    for (const DispatchRow& row : order) {
        if (row.entry % 3 == 0)
            expected.push_back(dir.str("src/" + name(row.entry)) + "  →  " + dir.str("out/src_分发1/" + name(row.entry)));
    }
    for (const char* jobs : {"1", ""}) {
        platform.environment = {{u"QUILLMARSH_JOBS", text::fromUtf8(jobs)}};
        std::filesystem::remove_all(dir.native("out"));
        for (std::uint32_t i = 0; i < files; i += 3) dir.write("out/src_分发1/" + name(i), "someone else's");
        useFolders("src", "out");
        form->TDivs.setText(u"1");
        form->click(form->CmdDo);
        std::vector<std::string> lines;
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "分发失败记录列表详情：");
        lines.erase(lines.begin());
        std::vector<std::string> want = expected;
        if (*jobs == 0) {
            std::sort(lines.begin(), lines.end());
            std::sort(want.begin(), want.end());
        }
        EXPECT_EQ(lines, want) << "jobs " << jobs;
    }
}

TEST_F(DispatchRunTest, EveryFileFailsWhenTheTargetCannotBeMade) {
    makeFiles(dir, "src", 5);
    dir.write("blocker", "a file where the target folder should be");
    useFolders("src", "blocker/out");
    form->click(form->CmdDo);
    EXPECT_EQ(platform.boxes.back().prompt, u"分发完毕！因文件访问错误，分发失败5份。\r\n稍候请参见分发失败的记录。");
    std::string text = log();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 6);
}

TEST_F(DispatchRunTest, ACleanRunRemovesTheLogOfAnEarlierRun) {
    makeFiles(dir, "src", 2);
    useFolders("src", "out");
    dir.write("分发失败记录.txt", "old");
    form->click(form->CmdDo);
    EXPECT_FALSE(dir.exists("分发失败记录.txt"));
    // With none there, none is made even for an instant: a run killed in
    // that instant would leave an empty log.
    platform.calls.clear();
    form->click(form->CmdDo);
    EXPECT_EQ(platform.indexOf(u"create "), -1);
}

TEST_F(DispatchRunTest, ALogThatCannotBeMadeAnywhereDoesNotStopTheRun) {
    makeFiles(dir, "src", 2);
    useFolders("src", "out");
    platform.logPaths = {dir.u16("missing/log.txt"), dir.u16("also/missing/log.txt")};
    dir.write("out/src_分发1/f000.txt", "other");
    form->TDivs.setText(u"1");
    form->click(form->CmdDo);
    EXPECT_TRUE(dir.exists("out/src_分发1/f001.txt"));
    EXPECT_EQ(platform.boxes.back().prompt, u"分发完毕！因文件访问错误，分发失败1份。\r\n分发失败的记录无法创建。\r\n其中1个文件因目标位置已有不同的同名文件而未分发。");
    EXPECT_EQ(platform.opened, std::vector<std::u16string>{dir.u16("out")});
}

TEST_F(DispatchRunTest, TheLogFallsBackToItsSecondPlace) {
    makeFiles(dir, "src", 1);
    useFolders("src", "out");
    platform.logPaths = {dir.u16("missing/log.txt"), dir.u16("log2.txt")};
    dir.write("out/src_分发1/f000.txt", "other");
    form->click(form->CmdDo);
    EXPECT_TRUE(logText(dir.read("log2.txt")).starts_with("分发失败记录列表详情：\r\n"));
    EXPECT_EQ(platform.opened.front(), dir.u16("log2.txt"));
}

TEST_F(DispatchRunTest, ExistingShareFoldersAreReusedAndTheirContentsStay) {
    makeFiles(dir, "src", 4);
    useFolders("src", "out");
    dir.write("out/src_分发2/keep.me", "x");
    form->TDivs.setText(u"2");
    form->click(form->CmdDo);
    EXPECT_TRUE(dir.exists("out/src_分发2/keep.me"));
    EXPECT_EQ(platform.indexOf(u"mkdir " + dir.u16("out/src_分发2")), -1);
}

TEST_F(DispatchRunTest, TheSameSeedDealsTheSameWayAndAnotherSeedDoesNot) {
    makeFiles(dir, "src", 30);
    useFolders("src", "out1");
    form->TDivs.setText(u"3");
    platform.seed = 1234;
    form->click(form->CmdDo);
    form->LDirOut.setCaption(dir.u16("out2"));
    form->click(form->CmdDo);
    form->LDirOut.setCaption(dir.u16("out3"));
    platform.seed = 99;
    form->click(form->CmdDo);
    EXPECT_EQ(dealt("out1"), dealt("out2"));
    EXPECT_NE(dealt("out1"), dealt("out3"));
}

// Times and attributes on Windows: the Windows platform's own tests.
#ifndef _WIN32
TEST_F(DispatchRunTest, CopiesKeepModificationTimeAndPermissionBits) {
    makeFiles(dir, "src", 1);
    const std::string src = (dir.path() / "src/f000.txt").string();
    ASSERT_EQ(chmod(src.c_str(), 0751), 0);
    struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);
    useFolders("src", "out");
    form->click(form->CmdDo);
    struct stat st {};
    ASSERT_EQ(stat((dir.path() / "out/src_分发1/f000.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
}
#endif

// A seed deals the same names into the same shares on every system: the file
// list orders names by their UTF-16 code units, whatever order the system
// lists them in, and the generator is fixed by the standard. The names
// include some whose UTF-8 bytes sort differently ("Ａ" before the emoji and
// the CJK extension B character, which UTF-16 puts before "Ａ"). The same
// expectations hold on Linux and on Windows.
TEST_F(DispatchRunTest, ASeedDealsTheSameNamesIntoTheSameSharesOnEverySystem) {
    const std::vector<std::string> names{"a.txt", "B.txt", "z.txt", "é.txt", "文档.doc", "照片01.jpg", "照片02.jpg",
                                         "\U0001F600.txt", "\U00020000.txt", "Ａ.txt"};
    for (auto it = names.rbegin(); it != names.rend(); ++it) dir.write("src/" + *it, *it);
    useFolders("src", "out");
    form->TDivs.setText(u"3");
    platform.seed = 20240601;
    form->click(form->CmdDo);
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < form->File1.count(); ++i) listed.push_back(utf8(form->File1.entry(i)));
    EXPECT_EQ(listed, (std::vector<std::string>{"B.txt", "a.txt", "z.txt", "é.txt", "文档.doc", "照片01.jpg",
                                                "照片02.jpg", "\U0001F600.txt", "\U00020000.txt", "Ａ.txt"}));
    const std::map<std::string, std::string> golden{
        {"B.txt", "src_分发1"},      {"a.txt", "src_分发2"},          {"z.txt", "src_分发1"},
        {"é.txt", "src_分发3"},      {"文档.doc", "src_分发1"},       {"照片01.jpg", "src_分发3"},
        {"照片02.jpg", "src_分发2"}, {"\U0001F600.txt", "src_分发2"}, {"\U00020000.txt", "src_分发3"},
        {"Ａ.txt", "src_分发4"}};
    EXPECT_EQ(dealt("out"), golden);
}

TEST_F(DispatchRunTest, NothingHappensWithoutMatchingFiles) {
    useFolders("empty", "out");
    form->LFiles.setCaption(u"0");
    form->CmdDo.setEnabled(true);  // even if the button were left enabled
    form->click(form->CmdDo);
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_FALSE(dir.exists("out"));
}

}  // namespace
}  // namespace qm::test
