// The command-line front end, run in-process over real temporary folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "app/batch/batch_run.h"
#include "batch/batch_fixture.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class BatchRunTest : public ::testing::Test {
protected:
    BatchRunTest() { platform.logPaths = {dir.u16("log.txt")}; }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--import", dir.str("src"), "--export", dir.str("out")});
        auto parsed = batch::parseOptions(args);
        EXPECT_EQ(parsed.error, "");
        makeExportFolder(parsed.options);
        out.str("");
        err.str("");
        return batch::runBatch(parsed.options, platform, out, err, false);
    }
    std::size_t dealtFiles() {
        std::size_t n = 0;
        for (const auto& share : dir.list("out")) n += dir.list("out/" + share).size();
        return n;
    }

    TempDir dir;
    FakePlatform platform;
    std::ostringstream out, err;
};

TEST_F(BatchRunTest, DefaultIsFiveEqualSharesCopied) {
    makeFiles(dir, "src", 10);
    EXPECT_EQ(run({"--seed", "3"}), batch::kAllTransferred);
    EXPECT_EQ(dir.list("out").size(), 5u);
    EXPECT_EQ(dealtFiles(), 10u);
    EXPECT_EQ(out.str(), "分发完毕！\n");
    EXPECT_TRUE(platform.opened.empty());  // the batch opens nothing
}

TEST_F(BatchRunTest, PerShareAndSharesPickTheMode) {
    makeFiles(dir, "src", 10);
    EXPECT_EQ(run({"--per-share", "4"}), 0);
    EXPECT_EQ(dir.list("out"), (std::vector<std::string>{"src_分发1", "src_分发2", "src_分发3"}));
    EXPECT_EQ(dir.list("out/src_分发3").size(), 2u);
    EXPECT_EQ(run({"--shares", "3", "--full-path"}), 0);
    const std::string full = "out" + dir.withoutDrive();
    EXPECT_EQ(dir.list(full).size(), 4u);  // 3 shares of 3 and one of 1
}

TEST_F(BatchRunTest, MoveAnswersTheQuestionAndMoves) {
    makeFiles(dir, "src", 4);
    EXPECT_EQ(run({"--move", "--shares", "2"}), 0);
    EXPECT_TRUE(dir.list("src").empty());
    EXPECT_EQ(dealtFiles(), 4u);
    EXPECT_EQ(out.str(), "在分发的同时移走原文件？\n分发完毕！\n");
}

TEST_F(BatchRunTest, FailuresExitOneAndPrintTheLogPath) {
    makeFiles(dir, "src", 2);
    dir.write("out/src_分发1/f000.txt", "different");
    EXPECT_EQ(run({"--shares", "1"}), batch::kSomeFailed);
    EXPECT_EQ(out.str(), "分发完毕！因文件访问错误，分发失败1份。\n稍候请参见分发失败的记录。\n"
                         "其中1个文件因目标位置已有不同的同名文件而未分发。\n" +
                             dir.str("log.txt") + "\n");
}

TEST_F(BatchRunTest, FilterFromTheListOrTyped) {
    dir.write("src/a.png", "a");
    dir.write("src/b.JPG", "b");
    dir.write("src/c.txt", "c");
    EXPECT_EQ(run({"--filter", "常用图片格式", "--shares", "1"}), 0);
    EXPECT_EQ(dir.list("out/src_分发1"), (std::vector<std::string>{"a.png", "b.JPG"}));
    EXPECT_EQ(run({"--filter", "*.txt", "--shares", "1"}), 0);
    EXPECT_TRUE(dir.exists("out/src_分发1/c.txt"));
}

TEST_F(BatchRunTest, NothingStartsWithoutMatchingFilesOrAUsableFolder) {
    dir.write("src/a.txt", "a");
    EXPECT_EQ(run({"--filter", "*.png"}), batch::kCouldNotStart);
    EXPECT_NE(err.str().find("*.png"), std::string::npos);
    EXPECT_TRUE(dir.list("out").empty());

    auto parsed = batch::parseOptions({"--import", dir.str("nope"), "--export", "x"});
    EXPECT_EQ(batch::runBatch(parsed.options, platform, out, err, false), batch::kCouldNotStart);
    EXPECT_NE(err.str().find("nope"), std::string::npos);
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(BatchRunTest, ABadTypedFilterIsRefusedWithItsMessage) {
    makeFiles(dir, "src", 3);
    EXPECT_EQ(run({"--filter", "*.tar.gz"}), batch::kCouldNotStart);
    EXPECT_NE(err.str().find("错误：文件类型过滤标识从第3个字符起，不允许出现“.”或“*”！重新检查输入！"), std::string::npos);
    EXPECT_EQ(run({"--filter", "jpg"}), batch::kCouldNotStart);
    EXPECT_NE(err.str().find("必须以 “*.”开头"), std::string::npos);
    EXPECT_TRUE(dir.list("out").empty());
    EXPECT_EQ(out.str(), "");
}

TEST_F(BatchRunTest, CountsAreNormalisedWithANotice) {
    makeFiles(dir, "src", 6);
    EXPECT_EQ(run({"--per-share", "100", "--seed", "1"}), 0);
    EXPECT_EQ(err.str(), "quillmarsh-batch: 每份文件数100多于匹配的文件数6，每份按6个分发。\n");
    EXPECT_EQ(run({"--per-share", "3", "--seed", "1"}), 0);
    EXPECT_EQ(err.str(), "");
}

TEST_F(BatchRunTest, AnUnusableImportFolderGetsTheSystemsMessage) {
    dir.write("odd{name/a.txt", "a");
    for (const std::string& folder : {std::string("odd{name"), std::string("missing"), std::string("odd{name/a.txt")}) {
        auto parsed = batch::parseOptions({"--import", dir.str(folder), "--export", dir.str("out")});
        err.str("");
        EXPECT_EQ(batch::runBatch(parsed.options, platform, out, err, false), batch::kCouldNotStart) << folder;
        EXPECT_TRUE(err.str().starts_with("quillmarsh-batch: 导入目录不可用：")) << err.str();
    }
    EXPECT_FALSE(dir.exists("out"));
}

struct BadArgs {
    std::vector<std::string> args;
    std::string mentions;
};

void PrintTo(const BadArgs& c, std::ostream* os) { *os << "mentions " << c.mentions; }

class BatchOptionsTest : public ::testing::TestWithParam<BadArgs> {};

TEST_P(BatchOptionsTest, UsageErrorsAreExplained) {
    auto parsed = batch::parseOptions(GetParam().args);
    EXPECT_NE(parsed.error.find(GetParam().mentions), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BatchOptionsTest,
    ::testing::Values(BadArgs{{"--import", "a", "--export", "b", "--per-share", "2", "--shares", "3"}, "--shares"},
                      BadArgs{{"--export", "b"}, "--import"}, BadArgs{{"--import", "a"}, "--export"},
                      BadArgs{{"--import", "a", "--export", "b", "--seed", "x1"}, "--seed"},
                      BadArgs{{"--import", "a", "--export", "b", "--bogus"}, "--bogus"},
                      BadArgs{{"--import"}, "--import"}, BadArgs{{"--import", "", "--export", "b"}, "--import"},
                      BadArgs{{"--import", "a", "--export", ""}, "--export"},
                      // Counts are positive whole numbers; nothing else is guessed at.
                      BadArgs{{"--import", "a", "--export", "b", "--per-share", "0"}, "--per-share"},
                      BadArgs{{"--import", "a", "--export", "b", "--per-share", "000"}, "--per-share"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", "-3"}, "--shares"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", "2.5"}, "--shares"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", "nan"}, "--shares"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", "1e3"}, "--shares"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", ""}, "--shares"},
                      BadArgs{{"--import", "a", "--export", "b", "--shares", "5x"}, "--shares"}));

// Relative folders, "." and ".." and doubled separators are resolved against
// the current folder before the run, so the shares land inside the export
// folder and nowhere else.
TEST_F(BatchRunTest, FoldersAreMadeAbsoluteAndNormalised) {
    struct Case {
        std::string import, exportFolder;
        bool fullPath;
        std::string share;  // the first share folder, relative to the temporary folder
    } cases[] = {
        {"src", "out", false, "out/src_分发1"},
        {"src", "out", true, "out" + dir.withoutDrive() + "/src_分发1"},
        {"out/../src/.", "out2//x/./", false, "out2/x/src_分发1"},
        {dir.str("src") + char(kSep), "./out3/", false, "out3/src_分发1"},
    };
    makeFiles(dir, "src", 2);
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    for (const Case& c : cases) {
        std::vector<std::string> args{"--import", c.import, "--export", c.exportFolder, "--shares", "1"};
        if (c.fullPath) args.push_back("--full-path");
        auto parsed = batch::parseOptions(args);
        makeExportFolder(parsed.options);
        EXPECT_EQ(batch::runBatch(parsed.options, platform, out, err, false), 0) << c.import;
        EXPECT_EQ(dir.list(c.share).size(), 2u) << c.share;
    }
    fs::current_path(before);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"out", "out2", "out3", "src"}));
}

TEST(BatchOptions, HelpNamesEveryOption) {
    EXPECT_TRUE(batch::parseOptions({"--help"}).options.help);
    const std::string help = batch::helpText();
    for (const char* option : {"--import", "--export", "--filter", "--per-share", "--shares", "--move", "--full-path",
                               "--seed", "--quiet", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

}  // namespace
}  // namespace qm::test
