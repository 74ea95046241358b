// The installed program end to end: a real process, real folders, exit codes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

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

// Starts the program on `dir`'s src and out folders with `dir` as its home
// (where the failure log goes) and an optional file-size limit; returns the
// child's process id.
pid_t startCopyRun(const TempDir& dir, rlim_t fileSizeLimit) {
    const std::string home = "HOME=" + dir.path().string(), tmp = "TMPDIR=" + dir.path().string();
    const std::string src = (dir.path() / "src").string(), out = (dir.path() / "out").string();
    const std::string manifest = (dir.path() / "run.manifest").string();
    const char* argv[] = {QM_BATCH_BINARY, "--import", src.c_str(), "--export", out.c_str(), "--shares", "1",
                          "--seed", "1", "--quiet", "--manifest", manifest.c_str(), nullptr};
    const char* envp[] = {home.c_str(), tmp.c_str(), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        if (fileSizeLimit != 0) {
            rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execve(argv[0], const_cast<char**>(argv), const_cast<char**>(envp));
        _exit(127);
    }
    return pid;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// A run stopped in the middle of a large file (killed, interrupted, or cut
// off by a file-size limit) leaves no file under a source's name that is not
// whole, and no manifest unless it got to the end; running it again
// completes every file.
TEST(BatchBinary, AnInterruptedCopyLeavesOnlyWholeFiles) {
    struct Case {
        const char* name;
        int signal;
        rlim_t limit;
    } cases[] = {{"SIGKILL", SIGKILL, 0}, {"SIGINT", SIGINT, 0}, {"ulimit -f", 0, 1 << 20}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string big(16 << 20, 'q');
        for (const char* name : {"a.bin", "b.bin"}) dir.write(std::string("src/") + name, big);
        dir.write("src/small.txt", "small");
        const pid_t pid = startCopyRun(dir, c.limit);
        if (c.signal != 0) {
            // The share folder is made just before the first file starts.
            for (int i = 0; i < 10000 && !dir.exists("out/src_分发1"); ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            kill(pid, c.signal);
        }
        const int first = exitCodeOf(pid);
        if (c.limit != 0) {
            EXPECT_EQ(first, 1) << c.name;  // the big files fail and are logged
        } else {
            EXPECT_FALSE(dir.exists("run.manifest")) << c.name;
        }
        for (const std::string& name : dir.list("out/src_分发1")) {
            const std::string copied = dir.read("out/src_分发1/" + name);
            EXPECT_TRUE(copied == dir.read("src/" + name)) << c.name << ": " << name << " has " << copied.size();
        }

        EXPECT_EQ(exitCodeOf(startCopyRun(dir, 0)), 0) << c.name;
        EXPECT_EQ(dir.list("out/src_分发1"), (std::vector<std::string>{"a.bin", "b.bin", "small.txt"})) << c.name;
        EXPECT_EQ(dir.read("out/src_分发1/b.bin").size(), big.size()) << c.name;
        const std::string manifest = dir.read("run.manifest");
        EXPECT_EQ(std::count(manifest.begin(), manifest.end(), '\n'), 6) << c.name;
    }
}

}  // namespace
}  // namespace qm::test
