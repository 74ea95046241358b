// The POSIX platform's text file, log places and desktop opener.
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/posix/posix_desktop.h"
#include "platform/posix/posix_system.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// Sets (or with nullopt unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class PosixSystemTest : public ::testing::Test {
protected:
    test::TempDir dir;
    PosixSystem platform;
};

TEST_F(PosixSystemTest, TextFileWritesUtf8LinesEndingInCrLf) {
    dir.write("log.txt", std::string(1000, 'x'));  // replaced, not appended to
    auto file = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->writeLine(u"分发失败"));
    EXPECT_TRUE(file->writeLine(u""));
    EXPECT_TRUE(file->writeLine(u"caf\xdce9"));  // an escaped byte goes out as that byte
    EXPECT_TRUE(file->close());
    EXPECT_EQ(dir.read("log.txt"), "\xe5\x88\x86\xe5\x8f\x91\xe5\xa4\xb1\xe8\xb4\xa5\r\n\r\ncaf\xe9\r\n");
    EXPECT_EQ(platform.createTextFile(dir.u16("missing/log.txt")), nullptr);
}

TEST_F(PosixSystemTest, TextFileKeepsEveryLineOfALongLogWhenDestroyed) {
    std::string expected;
    {
        auto file = platform.createTextFile(dir.u16("long.txt"));
        ASSERT_TRUE(file);
        for (int i = 0; i < 20000; ++i) {
            ASSERT_TRUE(file->writeLine(text::ascii("line " + std::to_string(i))));
            expected += "line " + std::to_string(i) + "\r\n";
        }
    }
    EXPECT_EQ(dir.read("long.txt"), expected);
}

TEST_F(PosixSystemTest, TextFileReportsAWriteError) {
    // A file-size limit makes the writes fail as a full disk would.
    auto file = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(file);
    rlimit old, limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    limit = {4096, old.rlim_max};
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    bool ok = true;
    for (int i = 0; i < 10000 && ok; ++i) ok = file->writeLine(u"0123456789");
    ok = ok && file->close();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
}

// The log's places are shared folders: whatever someone put at the name is
// removed, never written through, and a log a running run holds is left to it.
TEST_F(PosixSystemTest, TextFileTrustsNothingAtItsName) {
    dir.write("victim", "precious");
    fs::create_symlink(dir.path() / "victim", dir.path() / "linked.txt");
    fs::create_directory(dir.path() / "folder.txt");
    ASSERT_EQ(mkfifo((dir.path() / "pipe.txt").c_str(), 0600), 0);
    for (const char* name : {"linked.txt", "pipe.txt"}) {
        auto file = platform.createTextFile(dir.u16(name));
        ASSERT_TRUE(file) << name;
        EXPECT_TRUE(file->writeLine(u"log") && file->close());
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.path() / name))) << name;
        EXPECT_EQ(dir.read(name), "log\r\n");
    }
    EXPECT_EQ(dir.read("victim"), "precious");
    EXPECT_EQ(platform.createTextFile(dir.u16("folder.txt")), nullptr);

    auto running = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(running);
    EXPECT_EQ(platform.createTextFile(dir.u16("log.txt")), nullptr);
    EXPECT_TRUE(running->writeLine(u"mine") && running->close());
    EXPECT_EQ(dir.read("log.txt"), "mine\r\n");
    running.reset();
    EXPECT_NE(platform.createTextFile(dir.u16("log.txt")), nullptr);  // an ended run's log is replaced
}

TEST_F(PosixSystemTest, FailureLogPaths) {
    const std::u16string name = u"分发失败记录.txt";
    struct Case {
        std::optional<std::string> home, tmpdir;
        std::vector<std::u16string> paths;
    } cases[] = {
        {"/home/ann", "/var/tmp", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {"/home/ann/", "/var/tmp/", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {std::nullopt, std::nullopt, {u"/tmp/" + name}},
        {"", "", {u"/tmp/" + name}},
    };
    for (const Case& c : cases) {
        ScopedEnv home("HOME", c.home), tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(platform.failureLogPaths(), c.paths) << c.home.value_or("(unset)");
    }
}

TEST_F(PosixSystemTest, OpenInDesktopPassesTheTargetAsOneArgument) {
    // A stand-in xdg-open that writes down its argument.
    dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.arg\"\n");
    fs::permissions(dir.path() / "bin/xdg-open", fs::perms::owner_all);
    ScopedEnv path("PATH", dir.path().string() + "/bin:/usr/bin:/bin");
    const std::string target = "/tmp/a folder/it's \"$HOME\"; `ls` & 分发 \xff";
    posix::DesktopOpener opener;
    opener.open(text::fromUtf8(target));
    for (int i = 0; i < 500 && !dir.exists("bin/xdg-open.arg"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(dir.read("bin/xdg-open.arg"), target);

    ScopedEnv nowhere("PATH", dir.path().string());  // no opener at all: nothing happens
    opener.open(u"/tmp");
}

}  // namespace
}  // namespace qm
