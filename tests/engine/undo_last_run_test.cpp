// The window's undo of its last run (Ctrl+Z), through the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "app/batch/batch_run.h"
#include "support/form_fixture.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class UndoLastRunTest : public FormTest {
protected:
    UndoLastRunTest() {
        platform.stateFolderPath = dir.u16("state");
        form->keepRecords = true;
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

// The record of a killed run (no last line, the room it reserved left as
// zeros) is taken back once and then not offered again; neither is one
// that an earlier version marked after its zeros.
TEST_F(UndoLastRunTest, AKilledRunIsOfferedUntilItIsTakenBack) {
    makeFiles(dir, "src", 3);
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> untouched = folders();
    run(false);
    const std::string name = "state/runs/" + records().front();
    std::string record = dir.read(name);
    record.erase(record.rfind("# end\n"));
    fs::remove(dir.native(name));
    dir.write(name, record + std::string(1 << 16, '\0'));
    for (int ask = 0; ask < 2; ++ask) {
        platform.answers = {MsgResult::Ok};
        form->UndoLastRun();
    }
    EXPECT_EQ(platform.beeps, 1);  // the second time, nothing was offered
    EXPECT_EQ(folders(), untouched);
    EXPECT_TRUE(dir.read(name).ends_with("\n")) << "the mark is where a reader finds it";

    dir.write("state/runs/20991231T000000.000000000Z.manifest",
              record + std::string(1000, '\0') + "# undone 2099-12-31T00:00:00.000000000Z\n");
    EXPECT_FALSE(form->CanUndoLastRun());
}

// A run the command line took back (from the window's record) is not
// offered by the window again: any undo marks the record.
TEST_F(UndoLastRunTest, ARunTheCommandLineTookBackIsNotOffered) {
    makeFiles(dir, "src", 2);
    run(false);
    run(false, "out2");
    std::ostringstream out, err;
    const auto parsed = batch::parseOptions({"--undo", dir.str("state/runs/" + records().back())});
    ASSERT_EQ(batch::runBatch(parsed.options, platform, out, err, false), 0) << err.str();
    platform.answers = {MsgResult::Cancel};
    form->UndoLastRun();
    EXPECT_NE(platform.boxes.back().prompt.find(dir.u16("out")), std::u16string::npos);
    EXPECT_EQ(platform.boxes.back().prompt.find(dir.u16("out2")), std::u16string::npos);
}

// A record that cannot be taken back is reported once and set aside: the
// next Ctrl+Z offers the run before it.
TEST_F(UndoLastRunTest, ARecordThatCannotBeTakenBackIsSetAside) {
    makeFiles(dir, "src", 2);
    run(false);
    run(false, "out2");
    const std::string last = "state/runs/" + records().back();
    std::string record = dir.read(last);
    record.replace(record.find("\t", record.find("\n1\t") + 3), 1, "\tgarbled");
    fs::remove(dir.native(last));
    dir.write(last, record);
    platform.answers = {MsgResult::Ok};
    form->UndoLastRun();
    EXPECT_EQ(platform.boxes.back().prompt, u"无法撤销上次分发：它的记录无法读取。");
    platform.answers = {MsgResult::Cancel};
    form->UndoLastRun();
    EXPECT_NE(platform.boxes.back().prompt.find(dir.u16("out")), std::u16string::npos);
    EXPECT_EQ(platform.boxes.back().prompt.find(dir.u16("out2")), std::u16string::npos);
}

// The newest 20 records stay by the time written in them, the one of the
// run in hand always; files that are not records are left alone; and a
// runs folder that is a link is never followed.
TEST_F(UndoLastRunTest, RecordsArePrunedByTheirOwnTimeAndNeverThroughALink) {
    makeFiles(dir, "src", 1);
    run(false);
    const std::string first = dir.read("state/runs/" + records().front());
    for (int i = 0; i < 20; ++i) {
        std::string future = first;
        future.replace(future.find("# time ") + 7, 4, std::to_string(2100 + i));
        dir.write("state/runs/2" + std::to_string(100 + i) + ".manifest", future);
    }
    dir.write("state/runs/junk.manifest", "not a record");
    const std::vector<std::string> before = records();
    run(false, "out2");
    std::vector<std::string> kept = records(), added;
    std::set_difference(kept.begin(), kept.end(), before.begin(), before.end(), std::back_inserter(added));
    ASSERT_EQ(added.size(), 1u);  // the run in hand's, though 20 others seem newer
    EXPECT_EQ(kept.size(), 21u);  // it, the 19 newest others, and the junk
    EXPECT_TRUE(std::find(kept.begin(), kept.end(), "junk.manifest") != kept.end());

    fs::remove_all(dir.native("state/runs"));
    dir.write("elsewhere/a.manifest", first);
    if (!dir.link("elsewhere", "state/runs")) GTEST_SKIP() << "no links to folders here";
    for (int i = 0; i < 22; ++i) run(false, "out" + std::to_string(i + 3));
    EXPECT_EQ(dir.list("elsewhere"), std::vector<std::string>{"a.manifest"});
    EXPECT_FALSE(form->CanUndoLastRun());
}

// A window run into folders an undo is using makes nothing and says why,
// whether the undo holds the folder of the shares or the import folder.
TEST_F(UndoLastRunTest, ARunWaitsForAnUndoOverItsFolders) {
    makeFiles(dir, "src", 2);
    fs::create_directories(dir.native("out"));
    for (const char* held : {"out", "src"}) {
        const std::unique_ptr<OpenFolder> folder = platform.openFolder(dir.u16(held));
        const std::unique_ptr<FolderLock> undoing = platform.lockFolder(*folder, true);
        ASSERT_TRUE(undoing);
        run(true);
        EXPECT_EQ(platform.boxes.back().prompt, u"一次撤销正在使用这些文件夹，请等它结束后再分发。") << held;
        EXPECT_TRUE(dir.list("out").empty()) << held;
        EXPECT_EQ(dir.list("src").size(), 2u) << held;
        EXPECT_TRUE(records().empty()) << held;
        EXPECT_TRUE(form->CmdDo.enabled()) << held;
    }
}

}  // namespace
}  // namespace qm::test
