// The POSIX platform's text file, environment, clock and headless answers.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets (or with nullopt unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class PosixSystem : public ::testing::Test {
protected:
    TempDir dir;
    PosixPlatform platform;
};

TEST_F(PosixSystem, TextFileWritesUtf8LinesEndingInCrLf) {
    dir.write("log.txt", std::string(1000, 'x'));  // replaced, not appended to
    auto file = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->writeLine(u"分发失败"));
    EXPECT_TRUE(file->writeLine(u""));
    EXPECT_TRUE(file->writeLine(u"/tmp/caf\xdce9"));  // an escaped byte goes out as that byte
    EXPECT_TRUE(file->close());
    EXPECT_EQ(dir.read("log.txt"), "\xe5\x88\x86\xe5\x8f\x91\xe5\xa4\xb1\xe8\xb4\xa5\r\n\r\n/tmp/caf\xe9\r\n");
}

TEST_F(PosixSystem, TextFileKeepsEveryLineOfALongLog) {
    std::string expected;
    {
        auto file = platform.createTextFile(dir.u16("long.txt"));
        ASSERT_TRUE(file);
        for (int i = 0; i < 20000; ++i) {
            const std::string line = "line " + std::to_string(i);
            ASSERT_TRUE(file->writeLine(text::fromUtf8(line)));
            expected += line + "\r\n";
        }
        // not closed: the destructor must write what is left
    }
    EXPECT_EQ(dir.read("long.txt"), expected);
}

TEST_F(PosixSystem, TextFileThatCannotBeCreated) {
    dir.write("plain", "x");
    EXPECT_EQ(platform.createTextFile(dir.u16("missing/log.txt")), nullptr);
    EXPECT_EQ(platform.createTextFile(dir.u16("plain/log.txt")), nullptr);
    EXPECT_EQ(platform.createTextFile(dir.u16()), nullptr);
}

TEST_F(PosixSystem, TextFileReportsAWriteError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    auto file = platform.createTextFile(u"/dev/full");
    ASSERT_TRUE(file);
    bool ok = true;
    for (int i = 0; i < 10000 && ok; ++i) ok = file->writeLine(u"0123456789");
    EXPECT_FALSE(ok && file->close());
}

TEST_F(PosixSystem, FailureLogPaths) {
    const std::u16string name = u"分发失败记录.txt";
    struct Case {
        std::optional<std::string> home, tmpdir;
        std::vector<std::u16string> paths;
    } cases[] = {
        {"/home/ann", "/var/tmp", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {"/home/ann/", "/var/tmp/", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {std::nullopt, std::nullopt, {u"/tmp/" + name}},
        {"", "", {u"/tmp/" + name}},
        {"/", std::nullopt, {u"/" + name, u"/tmp/" + name}},
    };
    for (const Case& c : cases) {
        ScopedEnv home("HOME", c.home), tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(platform.failureLogPaths(), c.paths) << c.home.value_or("(unset)");
    }
}

TEST_F(PosixSystem, EnvironmentVariable) {
    {
        ScopedEnv set("QM_TEST_VALUE", "分发 \xff");
        EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"分发 \xdcff");
    }
    EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"");
}

TEST_F(PosixSystem, ProgramFolderHoldsTheRunningProgram) {
    const std::u16string folder = platform.programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'/');
    const std::string program = fs::path(program_invocation_name).filename();
    EXPECT_TRUE(fs::exists(text::toUtf8(folder) + "/" + program)) << text::toUtf8(folder);
}

TEST_F(PosixSystem, ClockSeedsDifferFromCallToCall) {
    const std::uint64_t first = platform.clockSeed();
    std::this_thread::sleep_for(std::chrono::microseconds(10));
    EXPECT_NE(platform.clockSeed(), first);
}

TEST_F(PosixSystem, HeadlessAnswers) {
    struct Case {
        MsgButtons buttons;
        int defaultButton;
        MsgResult result;
    } cases[] = {{MsgButtons::Ok, 0, MsgResult::Ok},
                 {MsgButtons::Ok, 1, MsgResult::Ok},
                 {MsgButtons::OkCancel, 0, MsgResult::Ok},
                 {MsgButtons::OkCancel, 1, MsgResult::Cancel}};
    for (const Case& c : cases) {
        MessageBoxRequest request;
        request.buttons = c.buttons;
        request.defaultButton = c.defaultButton;
        EXPECT_EQ(platform.messageBox(request), c.result);
    }
    EXPECT_EQ(platform.browseForFolder(u"title", u"/", true), u"");
    EXPECT_EQ(platform.pathStyle().separator, u'/');
    EXPECT_FALSE(platform.pathStyle().driveLetters);
    EXPECT_EQ(platform.versionRecord(), std::nullopt);
}

// A stand-in xdg-open that writes down the argument it was given.
void installOpener(const TempDir& dir) {
    dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.arg\"\n");
    fs::permissions(dir.path() / "bin/xdg-open", fs::perms::owner_all);
}

TEST_F(PosixSystem, OpenInDesktopPassesTheTargetAsOneArgument) {
    installOpener(dir);
    ScopedEnv path("PATH", (dir.path() / "bin").string() + ":/usr/bin:/bin");
    const std::string target = "/tmp/a folder/it's \"$HOME\"; `ls` & 分发 \xff";
    platform.openInDesktop(text::fromUtf8(target));
    const fs::path arg = dir.path() / "bin/xdg-open.arg";
    for (int i = 0; i < 500 && !fs::exists(arg); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(dir.read("bin/xdg-open.arg"), target);
}

TEST_F(PosixSystem, OpenInDesktopWithoutAnOpenerDoesNothing) {
    fs::create_directory(dir.path() / "empty");
    ScopedEnv path("PATH", (dir.path() / "empty").string());
    platform.openInDesktop(u"/tmp");
    platform.openInDesktop(u"");
    SUCCEED();
}

}  // namespace
}  // namespace qm
