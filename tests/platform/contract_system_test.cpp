// The failure log's file and places, what the platform reads of the system,
// and the desktop's opener.
#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_system.h"
#else
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/posix/posix_desktop.h"
#endif

#include "platform/contract.h"

namespace qm::test {
namespace {

using ContractSystem = Contract;

#ifndef _WIN32
// Sets (or with nullopt unsets) an environment variable for one scope; only
// the POSIX platform's places and opener depend on one the tests may change.
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
#endif

// Lines in the system's narrow encoding ending in CR LF, all of them there
// when the file goes unclosed. The log's places are shared folders: whatever
// someone put at the name is removed, never written through, and a log a
// running run holds is left to it.
TEST_F(ContractSystem, TheLogKeepsEveryLineAndTrustsNothingAtItsName) {
    dir.write("log.txt", std::string(1 << 20, 'x'));  // longer than the new log
    std::string expected = "分发失败记录列表详情：\r\n\r\nC:\\a.jpg  →  D:\\é.jpg\r\n";
    {
        auto log = platform.createTextFile(dir.u16("log.txt"));
        ASSERT_TRUE(log);
        for (const char16_t* line : {u"分发失败记录列表详情：", u"", u"C:\\a.jpg  →  D:\\é.jpg"}) {
            EXPECT_TRUE(log->writeLine(line));
        }
#ifndef _WIN32
        // Only POSIX names carry bytes that are not UTF-8: as escapes, which go out as those bytes.
        EXPECT_TRUE(log->writeLine(u"caf\xdce9"));
        expected += "caf\xe9\r\n";
#endif
        for (int i = 0; i < 20000; ++i) {
            ASSERT_TRUE(log->writeLine(text::ascii("line " + std::to_string(i))));
            expected += "line " + std::to_string(i) + "\r\n";
        }
        EXPECT_EQ(platform.createTextFile(dir.u16("log.txt")), nullptr);  // held by its run
    }
    EXPECT_EQ(logText(dir.read("log.txt")), expected);
    EXPECT_NE(platform.createTextFile(dir.u16("log.txt")), nullptr);  // an ended run's log is replaced

    dir.write("victim", "precious");
    fs::create_directory(dir.native("folder.txt"));
    for (const char* name : {"folder.txt", "missing/log.txt"}) {
        EXPECT_EQ(platform.createTextFile(dir.u16(name)), nullptr) << name;
    }
    std::vector<std::string> taken;
    if (dir.link("victim", "linked.txt")) taken.push_back("linked.txt");
#ifndef _WIN32
    // Only POSIX folders hold FIFOs.
    ASSERT_EQ(mkfifo(dir.native("pipe.txt").c_str(), 0600), 0);
    taken.push_back("pipe.txt");
#endif
    for (const std::string& name : taken) {
        auto log = platform.createTextFile(dir.u16(name));
        ASSERT_TRUE(log) << name;
        EXPECT_TRUE(log->writeLine(u"log") && log->close());
        EXPECT_TRUE(modeOf(dir.native(name))) << name;  // a regular file now
        EXPECT_EQ(dir.read(name), "log\r\n");
    }
    EXPECT_EQ(dir.read("victim"), "precious");
}

TEST_F(ContractSystem, TheEnvironmentTheProgramAndTheVersion) {
#ifdef _WIN32
    SetEnvironmentVariableW(L"QM_TEST_VALUE", L"值");
    EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"值");
    SetEnvironmentVariableW(L"QM_TEST_VALUE", nullptr);
#else
    {
        ScopedEnv value("QM_TEST_VALUE", "值");
        EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"值");
    }
#endif
    EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"");
    const std::u16string program = platform.programFolder();
    EXPECT_FALSE(program.ends_with(kSep));
    EXPECT_TRUE(platform.pathExists(program + kSep + (kWindows ? u"qm_tests.exe" : u"qm_tests")))
        << text::toUtf8(program);
    // Only Windows has a version record: the NT family's.
    ASSERT_EQ(platform.versionRecord().has_value(), kWindows);
    EXPECT_EQ(platform.versionRecord().value_or(System::VersionRecord{0, 0, 2}).platformId, 2u);
}

#ifdef _WIN32
// Only Windows logs in a code page (936 on a Chinese system), and goes over
// to UTF-8 behind a byte-order mark, lines before included, once a line holds
// a character the code page cannot.
TEST_F(ContractSystem, TheLogIsInTheAnsiCodePageOrWhollyUtf8) {
    if (GetACP() != 936) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936";
    for (const bool wide : {false, true}) {
        auto log = platform.createTextFile(dir.u16("log.txt"));
        ASSERT_TRUE(log);
        EXPECT_TRUE(log->writeLine(u"分发失败记录列表详情："));
        EXPECT_TRUE(log->writeLine(wide ? u"C:\\\U0001F600.jpg  →  D:\\é.jpg" : u"C:\\a.jpg  →  D:\\é.jpg"));
        EXPECT_TRUE(log->writeLine(u"C:\\b.jpg"));
        EXPECT_TRUE(log->close());
        EXPECT_EQ(dir.read("log.txt"),
                  wide ? "\xEF\xBB\xBF分发失败记录列表详情：\r\nC:\\\U0001F600.jpg  →  D:\\é.jpg\r\nC:\\b.jpg\r\n"
                       : "\xB7\xD6\xB7\xA2\xCA\xA7\xB0\xDC\xBC\xC7\xC2\xBC\xC1\xD0\xB1\xED\xCF\xEA\xC7\xE9\xA3\xBA\r\n"
                         "C:\\a.jpg  \xA1\xFA  D:\\\xA8\xA6.jpg\r\nC:\\b.jpg\r\n");
    }
}

// The places are Windows's: the root of C:, then the temporary folder.
TEST_F(ContractSystem, FailureLogPaths) {
    const auto places = platform.failureLogPaths();
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0], u"c:\\分发失败记录.txt");
    EXPECT_TRUE(places[1].ends_with(u"\\分发失败记录.txt"));
}

class RecordingExplorer : public win32::Explorer {
public:
    struct Started {
        std::wstring application, commandLine;
        int showCommand;
    };
    std::vector<Started> started;

protected:
    void startProgram(const std::wstring& application, const std::wstring& commandLine, int showCommand) override {
        started.push_back({application, commandLine, showCommand});
    }
};

// Windows's opener is explorer.exe, with its window shown as asked.
TEST(Win32Desktop, ExplorerCommandLines) {
    const std::pair<std::u16string, std::wstring> cases[] = {
        {u"c:\\分发失败记录.txt", L"explorer.exe c:\\分发失败记录.txt"},
        {u"D:\\out\\", L"explorer.exe D:\\out\\"},
        {u"D:\\My Photos", L"explorer.exe \"D:\\My Photos\""},
        {u"D:\\My Photos\\", L"explorer.exe \"D:\\My Photos\\\\\""},  // CommandLineToArgvW: one trailing "\"
        {u"D:\\a,b", L"explorer.exe \"D:\\a,b\""},
        {u"http://example.com/Index.htm", L"explorer.exe http://example.com/Index.htm"},
    };
    for (const auto& [target, line] : cases) EXPECT_EQ(win32::explorerCommandLine(target), line);

    RecordingExplorer platform;
    platform.open(u"", ShowAs::Normal);
    platform.open(u"D:\\out", ShowAs::Normal);
    platform.open(u"D:\\out", ShowAs::NormalWithoutFocus);
    platform.open(u"D:\\out", ShowAs::Maximized);
    ASSERT_EQ(platform.started.size(), 3u);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(platform.started[0].application, std::wstring(windows) + L"\\explorer.exe");
    EXPECT_EQ(platform.started[0].commandLine, L"explorer.exe D:\\out");
    const int shown[] = {SW_SHOWNORMAL, SW_SHOWNOACTIVATE, SW_SHOWMAXIMIZED};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(platform.started[i].showCommand, shown[i]);
}
#else
// Only POSIX makes writes fail on cue, by a limit on the size of files.
TEST_F(ContractSystem, TheLogReportsAWriteError) {
    auto log = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(log);
    bool ok = true;
    {
        FileSizeLimit limit(4096);
        for (int i = 0; i < 10000 && ok; ++i) ok = log->writeLine(u"0123456789");
        ok = ok && log->close();
    }
    EXPECT_FALSE(ok);
}

// The places are POSIX's: the home folder, then the temporary folder.
TEST_F(ContractSystem, FailureLogPaths) {
    const std::u16string name = u"分发失败记录.txt";
    const struct {
        std::optional<std::string> home, tmpdir;
        std::vector<std::u16string> paths;
    } cases[] = {
        {"/home/ann", "/var/tmp", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {"/home/ann/", "/var/tmp/", {u"/home/ann/" + name, u"/var/tmp/" + name}},
        {std::nullopt, std::nullopt, {u"/tmp/" + name}},
        {"", "", {u"/tmp/" + name}},
    };
    for (const auto& c : cases) {
        ScopedEnv home("HOME", c.home), tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(platform.failureLogPaths(), c.paths) << c.home.value_or("(unset)");
    }
}

// The Linux desktop's opener is xdg-open, started without a shell.
TEST_F(ContractSystem, OpenInDesktopPassesTheTargetAsOneArgument) {
    // A stand-in xdg-open that writes down its argument.
    dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.arg\"\n");
    fs::permissions(dir.native("bin/xdg-open"), fs::perms::owner_all);
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
#endif

}  // namespace
}  // namespace qm::test
