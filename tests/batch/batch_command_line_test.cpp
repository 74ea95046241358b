// What the command line answers a bad invocation, word for word, and that a
// good one in any of GNU's spellings runs; on every system.
#include <gtest/gtest.h>

#include <sstream>

#include "app/batch/batch_main.h"
#include "app/batch/options.h"
#include "app/command_line/help_layout.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm::test {
namespace {

class BatchCommandLineTest : public ::testing::Test {
protected:
    BatchCommandLineTest() {
        platform.logPaths = {dir.u16("log.txt")};
        makeFiles(dir, "src", 3);
        dir.write("file.txt", "x");
        dir.write("out/.keep", "");
    }
    int run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return batch::batchMain(args, platform, out, err, false, nullptr);
    }
    // A path as the messages show it (a backslash doubled).
    std::string shown(const std::string& relative) { return text::printable(dir.u16(relative)); }

    TempDir dir;
    FakePlatform platform;
    std::ostringstream out, err;
};

TEST_F(BatchCommandLineTest, BadInvocationsAreRefusedWithTheirReason) {
    const std::string usage = "\n（quillmarsh-batch --help 显示用法）\n";
    const std::string src = dir.str("src"), out = dir.str("out");
    platform.pathStates[dir.u16("locked")] = System::PathState::NoPermission;
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--sahres", "3"}, "quillmarsh-batch: 未知的选项：--sahres；您是否想用 --shares？" + usage},
        {{"--bogus"}, "quillmarsh-batch: 未知的选项：--bogus" + usage},
        {{"-x"}, "quillmarsh-batch: 未知的选项：-x" + usage},
        {{"--s", "3"}, "quillmarsh-batch: 选项 --s 有歧义，可以是：--shares、--subfolders、--seed" + usage},
        {{"--import"}, "quillmarsh-batch: 选项 --import 缺少取值" + usage},
        {{"--quiet=yes"}, "quillmarsh-batch: 选项 --quiet 不带取值：--quiet=yes" + usage},
        {{"--import", src, "--export", out, "--", "--seed"}, "quillmarsh-batch: 多余的参数：--seed" + usage},
        {{"--import=" + dir.str("none"), "--export", out},
         "quillmarsh-batch: 导入目录不可用：" + shown("none") + "：不存在\n"},
        {{"--import", dir.str("file.txt"), "--export", out},
         "quillmarsh-batch: 导入目录不可用：" + shown("file.txt") + "：不是文件夹\n"},
        {{"--import", src, "--export", dir.str("file.txt")},
         "quillmarsh-batch: 导出目录不可用：" + shown("file.txt") + "：不是文件夹\n"},
        {{"--import", src, "--export", dir.str("file.txt"), "--dry-run"},
         "quillmarsh-batch: 导出目录不可用：" + shown("file.txt") + "：不是文件夹\n"},
        {{"--import", src, "--export", dir.str("none")}, "quillmarsh-batch: 导出目录不可用：" + shown("none") + "：不存在\n"},
        // Scripted: the tests may run as root, whom no folder refuses.
        {{"--import", src, "--export", dir.str("locked")},
         "quillmarsh-batch: 导出目录不可用：" + shown("locked") + "：没有权限\n"},
        {{"--undo", dir.str("none.manifest")},
         "quillmarsh-batch: 无法读取清单：" + shown("none.manifest") + "：不存在\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), 2) << c.args.front();
        EXPECT_EQ(err.str(), c.err);
        EXPECT_EQ(this->out.str(), "");
    }
    EXPECT_EQ(dir.list("out"), (std::vector<std::string>{".keep"}));  // nothing was made
    EXPECT_FALSE(dir.exists("none"));

    // The environment's number of workers is held to what --jobs takes; the
    // option, when given, is what counts.
    for (const std::u16string bad : {u"abc", u"0", u"65", u"-3"}) {
        platform.environment = {{u"QUILLMARSH_JOBS", bad}};
        EXPECT_EQ(run({"--import", src, "--export", out}), 2);
        EXPECT_EQ(err.str(), "quillmarsh-batch: 环境变量 QUILLMARSH_JOBS 需要 1 到 64 之间的整数：" +
                                 text::toUtf8(bad) + "\n");
    }
    EXPECT_EQ(dir.list("out"), (std::vector<std::string>{".keep"}));
    EXPECT_EQ(run({"--import", src, "--export", out, "--jobs", "2", "--quiet"}), 0) << err.str();
}

TEST_F(BatchCommandLineTest, GnuSpellingsRunAndQuietSaysNothing) {
    EXPECT_EQ(run({"--imp=" + dir.str("src"), "--export", dir.str("out"), "--sha=1", "--seed", "4", "--quiet",
                   "--move"}),
              0);
    EXPECT_EQ(out.str(), "");  // not even the question a move asks in the window
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(dir.list("out/src_分发1").size(), 3u);
    EXPECT_EQ(run({"-h"}), 0);
    EXPECT_EQ(out.str(), batch::helpText());
}

TEST(BatchHelp, FitsEightyColumnsAndEndsWithWhereToReport) {
    const struct {
        const char* text;
        std::size_t width;
    } widths[] = {{"--jobs N", 8}, {"导入目录", 8}, {"“随机种子：N”", 15}, {"ｊｐｇ", 6}, {"Ž", 1}};
    for (const auto& w : widths) EXPECT_EQ(cli::displayWidth(w.text), w.width) << w.text;

    std::istringstream help(batch::helpText());
    std::string line, last;
    while (std::getline(help, line)) {
        EXPECT_LE(cli::displayWidth(line), 80u) << line;
        last = line;
    }
    EXPECT_TRUE(last.starts_with("问题请报告")) << last;
}

}  // namespace
}  // namespace qm::test
