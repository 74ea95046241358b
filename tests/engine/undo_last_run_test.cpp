// The window's undo of its last run (Ctrl+Z), through the model.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/form_fixture.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class UndoLastRunTest : public FormTest {
protected:
    UndoLastRunTest() {
        platform.stateFolderPath = dir.u16("state");
        form->extras.keepRecords = true;
    }
    // A run of `src` into `out` as the user makes it: a move after OK.
    void run(bool move, const std::string& out = "out") {
        useFolders("src", out);
        form->LDir_Change();  // the list as the folder now is
        if (move) {
            form->click(form->ChBackUp);
            platform.answers.push_back(MsgResult::Ok);
        }
        form->click(form->CmdDo);
    }
    std::vector<std::string> records() { return dir.exists("state/runs") ? dir.list("state/runs") : std::vector<std::string>{}; }
    // What the folders hold, the records aside.
    std::vector<std::string> folders() {
        std::vector<std::string> tree = dir.tree();
        std::erase_if(tree, [](const std::string& line) { return line.starts_with("state"); });
        return tree;
    }
};

// Ctrl+Z offers the last run not yet taken back: nothing at all, then the
// move, then (once the move was taken back, or asked and cancelled) the copy
// before it; each undo leaves the folders as they were before its run.
TEST_F(UndoLastRunTest, TakesBackTheLastRunThenTheOneBefore) {
    makeFiles(dir, "src", 7);
    fs::create_directories(dir.native("out"));
    fs::create_directories(dir.native("out2"));
    const std::vector<std::string> untouched = folders();
    EXPECT_FALSE(form->CanUndoLastRun());
    form->UndoLastRun();
    EXPECT_EQ(platform.beeps, 1);  // nothing to take back
    EXPECT_TRUE(platform.boxes.empty());

    run(false);
    const std::vector<std::string> beforeMove = folders();
    run(true, "out2");
    ASSERT_EQ(dir.list("src").size(), 0u);
    ASSERT_EQ(records().size(), 2u);

    const struct {
        MsgResult answer;
        const char* offered;  // the mode, the number of files and the target the question names
        const char* target;
        std::vector<std::string> folders;
    } steps[] = {
        {MsgResult::Cancel, "移动7个文件到 ", "out2", {}},
        {MsgResult::Ok, "移动7个文件到 ", "out2", beforeMove},
        {MsgResult::Ok, "复制7个文件到 ", "out", {}},
    };
    for (const auto& step : steps) {
        const std::vector<std::string> before = folders();
        platform.boxes.clear();
        platform.answers = {step.answer};
        EXPECT_TRUE(form->CanUndoLastRun());
        form->UndoLastRun();
        ASSERT_FALSE(platform.boxes.empty());
        const MessageBoxRequest& question = platform.boxes.front();
        EXPECT_EQ(question.buttons, MsgButtons::OkCancel);
        EXPECT_EQ(question.defaultButton, 1);  // Cancel
        EXPECT_TRUE(question.prompt.starts_with(u"撤销上次分发？\r\n")) << utf8(question.prompt);
        EXPECT_NE(question.prompt.find(text::fromUtf8(step.offered) + dir.u16(step.target)), std::u16string::npos)
            << utf8(question.prompt);
        if (step.answer == MsgResult::Cancel) {
            EXPECT_EQ(platform.boxes.size(), 1u);
            EXPECT_EQ(folders(), before);
            continue;
        }
        EXPECT_EQ(platform.boxes.back().prompt, u"撤销完毕！");
        EXPECT_EQ(folders(), step.folders.empty() ? untouched : step.folders);
        EXPECT_TRUE(form->enabled());
    }
    EXPECT_FALSE(form->CanUndoLastRun());
    EXPECT_EQ(form->LFiles.caption(), u"7");  // the count is the folder's again
}

// A copy changed since the run stays; the report says so and the undo's log
// (beside the failure log) names it with the reason.
TEST_F(UndoLastRunTest, FilesThatStayAreReportedAndLogged) {
    makeFiles(dir, "src", 3);
    run(false);
    dir.write("out/src_分发1/f001.txt", "changed after the run");
    platform.answers = {MsgResult::Ok};
    form->UndoLastRun();
    EXPECT_EQ(platform.boxes.back().prompt, u"撤销完毕！有1个文件未能撤销。\r\n稍候请参见撤销失败的记录。");
    const std::string log = logText(dir.read("撤销失败记录.txt"));
    EXPECT_EQ(log, dir.str("out/src_分发1/f001.txt") + "  →  副本在分发之后被改动或替换过\r\n");
    EXPECT_EQ(platform.opened.back(), dir.u16("撤销失败记录.txt"));
    EXPECT_FALSE(form->CanUndoLastRun());  // taken back as far as it could be
}

// The last 20 records are kept; none at all when the environment says so,
// and the run goes on as if nothing were recorded.
TEST_F(UndoLastRunTest, RecordsAreFewOrNone) {
    makeFiles(dir, "src", 1);
    for (int i = 0; i < 22; ++i) {
        useFolders("src", "out" + std::to_string(i));
        form->click(form->CmdDo);
    }
    EXPECT_EQ(records().size(), 20u);
    platform.environment.emplace_back(u"QUILLMARSH_NO_RECORDS", u"1");
    fs::remove_all(dir.native("state"));
    useFolders("src", "more");
    form->click(form->CmdDo);
    EXPECT_TRUE(dir.exists("more/src_分发1/f000.txt"));
    EXPECT_TRUE(records().empty());
    EXPECT_FALSE(form->CanUndoLastRun());
}

}  // namespace
}  // namespace qm::test
