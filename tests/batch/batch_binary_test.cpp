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
#include <random>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace qm::test {
namespace {

struct Result {
    int exitCode;
    std::string out, err;
};

Result runBinary(const TempDir& dir, std::vector<std::string> args, std::vector<std::string> program = {QM_BATCH_BINARY}) {
    args.insert(args.begin(), program.begin(), program.end());
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
    std::filesystem::create_directory(dir.path() / "out");
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

// Starts the program with `args` and `dir` as its home (where the failure log
// goes) and an optional file-size limit; returns the child's process id.
pid_t startRun(const TempDir& dir, std::vector<std::string> args, rlim_t fileSizeLimit) {
    const std::string home = "HOME=" + dir.path().string(), tmp = "TMPDIR=" + dir.path().string();
    args.insert(args.begin(), QM_BATCH_BINARY);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
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
        execve(argv[0], argv.data(), const_cast<char**>(envp));
        _exit(127);
    }
    return pid;
}

int exitCodeOf(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Waits until the record holds `rows` lines past its header, or the run ended.
void waitForRows(const TempDir& dir, pid_t pid, int rows) {
    for (int i = 0; i < 20000; ++i) {
        const std::string record = dir.exists("run.manifest") ? dir.read("run.manifest") : "";
        if (std::count(record.begin(), record.end(), '\n') >= 9 + rows) return;
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid != 0) return;
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
}

// However a run ends (killed, interrupted, cut off by a file-size limit), at
// whatever point, it leaves no file under a source's name that is not whole,
// and the undo of its record returns both folders to what they were before
// it, byte for byte; the failure log, if any, is no empty one.
TEST(BatchBinary, ARunEndedAnyWayCanBeTakenBack) {
    struct Case {
        const char* name;
        int signal;
        bool move;
        int afterRows;
        rlim_t limit;
        int exitCode;  // unless the run was over before the signal came
    } cases[] = {
        {"move, SIGKILL at once", SIGKILL, true, 0, 0, -SIGKILL},
        {"move, SIGKILL midway", SIGKILL, true, 1000, 0, -SIGKILL},
        {"move, SIGINT", SIGINT, true, 500, 0, 130},
        {"move, SIGTERM", SIGTERM, true, 1, 0, 143},
        {"copy, SIGKILL in a large file", SIGKILL, false, 1, 0, -SIGKILL},
        {"copy, SIGINT in a large file", SIGINT, false, 1, 0, 130},
        {"copy, ulimit -f", 0, false, 0, 1 << 20, 1},
        // Sixteen workers in flight by default: killed at a row drawn at random.
        {"move, SIGKILL at a random row", SIGKILL, true, -1, 0, -SIGKILL},
        {"copy, SIGKILL at a random row", SIGKILL, false, -1, 0, -SIGKILL},
    };
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    for (Case c : cases) {
        if (c.afterRows < 0) c.afterRows = std::uniform_int_distribution<int>(1, c.move ? 1999 : 41)(random);
        SCOPED_TRACE(std::string(c.name) + " (row " + std::to_string(c.afterRows) + ", seed " + std::to_string(seed) + ")");
        TempDir dir;
        if (c.move) {
            makeFiles(dir, "src", 2000);
        } else {
            makeFiles(dir, "src", 40);
            for (const char* name : {"a.bin", "b.bin"}) dir.write(std::string("src/") + name, std::string(8 << 20, 'q'));
        }
        std::filesystem::create_directory(dir.native("out"));
        const std::vector<std::string> before = dir.tree();
        std::vector<std::string> args = {"--import", dir.str("src"), "--export", dir.str("out"), "--per-share", "500",
                                         "--seed", "1", "--quiet", "--manifest", dir.str("run.manifest")};
        if (c.move) args.push_back("--move");
        const pid_t pid = startRun(dir, args, c.limit);
        if (c.signal != 0) {
            waitForRows(dir, pid, c.afterRows);
            kill(pid, c.signal);
        }
        const int code = exitCodeOf(pid);
        if (code != 0) {
            EXPECT_EQ(code, c.exitCode);
        }
        for (const std::string& share : dir.list("out")) {
            for (const std::string& name : dir.list("out/" + share)) {
                const std::string copied = dir.read("out/" + share + "/" + name);
                EXPECT_TRUE(copied == (name.ends_with(".bin") ? std::string(8 << 20, 'q') : name.substr(0, name.find('.'))))
                    << name << " has " << copied.size();
            }
        }
        if (dir.exists("分发失败记录.txt")) {
            EXPECT_GT(dir.read("分发失败记录.txt").size(), 40u);
        }

        const pid_t undo = startRun(dir, {"--undo", dir.str("run.manifest")}, 0);
        EXPECT_EQ(exitCodeOf(undo), 0);
        std::vector<std::string> after = dir.tree();
        std::erase_if(after, [](const std::string& line) {
            return line.starts_with("run.manifest") || line.starts_with("分发失败记录.txt");
        });
        EXPECT_EQ(after, before);
    }
}

// The installed completion, as bash runs it: what it offers for a word.
TEST(BatchBinary, BashCompletesOptionsFoldersAndChoices) {
    TempDir dir;
    dir.write("alpha/a.txt", "a");
    dir.write("alfa.txt", "a");
    const struct {
        std::string words;  // the line up to the cursor, split as bash splits it
        std::string offered;
    } cases[] = {
        {"--sh", "--shares\n"},
        {"--import al", "alpha\n"},        // folders only
        {"--import = al", "alpha\n"},      // "--import=al"
        {"--manifest al", "alfa.txt\nalpha\n"},
        {"--link s", "symbolic\n"},
        {"--seed 1", ""},
        {"-- --sh", ""},                   // no options after "--"
    };
    for (const auto& c : cases) {
        const std::string script =
            "source \"$1\"; cd \"$2\" || exit 9; read -ra COMP_WORDS <<< \"quillmarsh-batch $3\"; "
            "COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); _quillmarsh_batch; "
            "printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
        Result r = runBinary(dir, {}, {"/bin/bash", "-c", script, "bash", QM_BATCH_COMPLETION, dir.path().string(), c.words});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out == "\n" ? "" : r.out, c.offered) << c.words;
    }
}

}  // namespace
}  // namespace qm::test
