// The installed program end to end: a real process, real folders, exit codes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/temp_dir.h"

extern char** environ;

namespace qm::test {
namespace {

struct Result {
    int exitCode;
    std::string out, err;
};

Result runBinary(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), QM_BATCH_BINARY);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = (dir.path() / "stdout").string(), errPath = (dir.path() / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return {-1, "", "spawn failed"};
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("stdout"), dir.read("stderr")};
}

TEST(BatchBinary, DealsARealFolderAndReportsByExitCode) {
    TempDir dir;
    makeFiles(dir, "src", 25, ".jpg");
    const std::string src = (dir.path() / "src").string(), out = (dir.path() / "out").string();
    Result ok = runBinary(dir, {"--import", src, "--export", out, "--per-share", "10", "--seed", "5"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, "分发完毕！\n");
    EXPECT_EQ(dir.list("out"), (std::vector<std::string>{"src_分发1", "src_分发2", "src_分发3"}));
    EXPECT_EQ(ok.err, "");  // no progress when stderr is not a terminal

    Result none = runBinary(dir, {"--import", src, "--export", out, "--filter", "*.png"});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err, "");

    Result usage = runBinary(dir, {"--import", src});
    EXPECT_EQ(usage.exitCode, 2);

    Result help = runBinary(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--per-share"), std::string::npos);
}

}  // namespace
}  // namespace qm::test
