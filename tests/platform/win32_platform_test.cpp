// The Windows platform on real folders (under Wine: the prefix's drive C:).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

class Win32PlatformTest : public ::testing::Test {
protected:
    // Transfers the file `from` to the same name in the folder `to`; a folder
    // that cannot be opened fails the transfer, as in a run.
    TransferResult transfer(bool move, const std::u16string& from, const std::u16string& to) {
        const std::size_t at = from.rfind(u'\\');
        auto in = platform.openFolder(from.substr(0, at)), out = platform.openFolder(to);
        if (!in || !out) return {};
        const std::u16string name = from.substr(at + 1);
        return move ? platform.moveFile(*in, name, *out, nullptr) : platform.copyFile(*in, name, *out, nullptr);
    }

    std::wstring at(const std::string& relative) const { return win32::wide(dir.u16(relative)); }
    DWORD attributes(const std::string& relative) const { return GetFileAttributesW(at(relative).c_str()); }
    void setAttributes(const std::string& relative, DWORD value) const {
        ASSERT_TRUE(SetFileAttributesW(at(relative).c_str(), value));
    }
    FILETIME lastWrite(const std::string& relative) const {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(at(relative).c_str(), GetFileExInfoStandard, &data);
        return data.ftLastWriteTime;
    }
    void setLastWrite(const std::string& relative, FILETIME time) const {
        HANDLE file = CreateFileW(at(relative).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
        CloseHandle(file);
    }

    test::TempDir dir;
    Win32Platform platform;
};

bool operator==(FILETIME a, FILETIME b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// What is at the destination before, and what a copy or a move makes of it.
// A name that the ANSI code page cannot hold goes through as any other.
TEST_F(Win32PlatformTest, TransfersNeverReplaceAndLeaveNoTemporaryFile) {
    enum class There { Nothing, Same, Different, Folder };
    struct Case {
        const char* name;
        bool move;
        There there;
        TransferOutcome outcome;
        bool sourceStays;
    } cases[] = {
        {"copy", false, There::Nothing, TransferOutcome::Copied, true},
        {"copyOntoSame", false, There::Same, TransferOutcome::AlreadyThere, true},
        {"copyOntoOther", false, There::Different, TransferOutcome::Failed, true},
        {"copyOntoFolder", false, There::Folder, TransferOutcome::Failed, true},
        {"move", true, There::Nothing, TransferOutcome::Moved, false},
        {"moveOntoSame", true, There::Same, TransferOutcome::AlreadyThere, true},
        {"moveOntoOther", true, There::Different, TransferOutcome::Failed, true},
        {"moveOntoFolder", true, There::Folder, TransferOutcome::Failed, true},
    };
    const std::string name = "照片\U0001F600.jpg";
    for (const Case& c : cases) {
        const std::string in = std::string(c.name) + "/in/" + name, out = std::string(c.name) + "/out/" + name;
        dir.write(in, "content");
        if (c.there == There::Same) dir.write(out, "content");
        if (c.there == There::Different) dir.write(out, "other");
        if (c.there == There::Folder) fs::create_directories(dir.native(out));
        fs::create_directories(dir.native(std::string(c.name) + "/out"));
        const TransferResult result = transfer(c.move, dir.u16(in), dir.u16(std::string(c.name) + "/out"));
        EXPECT_EQ(result.outcome, c.outcome) << c.name;
        EXPECT_EQ(result.facts.size, 7u) << c.name;
        EXPECT_EQ(dir.exists(in), c.sourceStays) << c.name;
        if (c.there != There::Folder) {
            EXPECT_EQ(dir.read(out), c.there == There::Different ? "other" : "content") << c.name;
        }
        EXPECT_EQ(dir.list(std::string(c.name) + "/out"), std::vector<std::string>{name}) << c.name;
    }
    fs::create_directories(dir.native("folder"));
    for (const char* source : {"missing", "folder"}) {
        EXPECT_EQ(transfer(false, dir.u16(source), dir.u16("copy")).outcome, TransferOutcome::Failed) << source;
        EXPECT_EQ(transfer(true, dir.u16(source), dir.u16("copy")).outcome, TransferOutcome::Failed) << source;
    }
}

TEST_F(Win32PlatformTest, CopiesKeepTheLastWriteTimeAndAttributes) {
    const FILETIME time{0x12345600, 0x01D00000};
    struct Case {
        const char* name;
        DWORD attributes;
    } cases[] = {{"plain", FILE_ATTRIBUTE_ARCHIVE}, {"hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
                 {"readOnly", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE}};
    fs::create_directories(dir.native("out"));
    for (const Case& c : cases) {
        const std::string in = std::string("in/") + c.name, out = std::string("out/") + c.name;
        dir.write(in, c.name);
        setLastWrite(in, time);
        setAttributes(in, c.attributes);
        ASSERT_EQ(transfer(false, dir.u16(in), dir.u16("out")).outcome, TransferOutcome::Copied) << c.name;
        EXPECT_TRUE(lastWrite(out) == time) << c.name;
        // The temporary file's hidden flag does not stay behind.
        EXPECT_EQ(attributes(out) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
                  c.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))
            << c.name;
        setAttributes(out, FILE_ATTRIBUTE_NORMAL);
        setAttributes(in, FILE_ATTRIBUTE_NORMAL);
    }
}

// Under Wine, Z:\dev\shm is another file system than the prefix's drive C:.
TEST_F(Win32PlatformTest, AMoveToAnotherVolumeCopiesAndThenDeletes) {
    if (!platform.folderExists(u"Z:\\dev\\shm")) GTEST_SKIP() << "no second volume";
    test::TempDir other(fs::path(L"Z:\\dev\\shm"));
    other.write("probe", "x");
    fs::create_directories(dir.native("out"));
    if (MoveFileExW(win32::wide(other.u16("probe")).c_str(), at("out/probe").c_str(), 0) ||
        GetLastError() != ERROR_NOT_SAME_DEVICE) {
        GTEST_SKIP() << "Z:\\dev\\shm is on the same volume";
    }
    const FILETIME time{0x12345600, 0x01D00000};
    other.write("文件.txt", "far");
    other.write("locked.txt", "stays");
    HANDLE file = CreateFileW(win32::wide(other.u16("文件.txt")).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
    EXPECT_EQ(transfer(true, other.u16("文件.txt"), dir.u16("out")).outcome, TransferOutcome::Moved);
    EXPECT_FALSE(other.exists("文件.txt"));
    EXPECT_EQ(dir.read("out/文件.txt"), "far");
    EXPECT_TRUE(lastWrite("out/文件.txt") == time);
    // A read-only source asks not to be deleted: the move could only copy.
    SetFileAttributesW(win32::wide(other.u16("locked.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(transfer(true, other.u16("locked.txt"), dir.u16("out")).outcome, TransferOutcome::Copied);
    EXPECT_TRUE(other.exists("locked.txt"));
    SetFileAttributesW(win32::wide(other.u16("locked.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
    setAttributes("out/locked.txt", FILE_ATTRIBUTE_NORMAL);
}

// The log's bytes on a Chinese system: code page 936, CR LF.
TEST_F(Win32PlatformTest, TheLogIsWrittenInTheAnsiCodePage) {
    if (GetACP() != 936) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 936";
    auto log = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(log);
    EXPECT_TRUE(log->writeLine(u"分发失败记录列表详情："));
    EXPECT_TRUE(log->writeLine(u"C:\\a.jpg  →  D:\\é.jpg"));
    EXPECT_TRUE(log->close());
    EXPECT_EQ(dir.read("log.txt"),
              "\xB7\xD6\xB7\xA2\xCA\xA7\xB0\xDC\xBC\xC7\xC2\xBC\xC1\xD0\xB1\xED\xCF\xEA\xC7\xE9\xA3\xBA\r\n"
              "C:\\a.jpg  \xA1\xFA  D:\\\xA8\xA6.jpg\r\n");
}

// A name the code page cannot hold would turn into "?" there: the whole log,
// lines before included, goes over to UTF-8 behind a byte-order mark.
TEST_F(Win32PlatformTest, ALineTheCodePageCannotHoldTurnsTheLogIntoUtf8) {
    auto log = platform.createTextFile(dir.u16("log.txt"));
    ASSERT_TRUE(log);
    EXPECT_TRUE(log->writeLine(u"分发失败记录列表详情："));
    EXPECT_TRUE(log->writeLine(u"C:\\\U0001F600.jpg  →  D:\\x.jpg"));
    EXPECT_TRUE(log->writeLine(u"C:\\b.jpg"));
    EXPECT_TRUE(log->close());
    EXPECT_EQ(dir.read("log.txt"), "\xEF\xBB\xBF分发失败记录列表详情：\r\nC:\\\U0001F600.jpg  →  D:\\x.jpg\r\nC:\\b.jpg\r\n");
}

TEST_F(Win32PlatformTest, ALogHeldByARunningRunIsLeftAlone) {
    dir.write("log.txt", "an old log");
    auto first = platform.createTextFile(dir.u16("log.txt"));  // the old one goes
    ASSERT_TRUE(first);
    EXPECT_EQ(platform.createTextFile(dir.u16("log.txt")), nullptr);  // held
    first->writeLine(u"one");
    first->close();
    EXPECT_EQ(dir.read("log.txt"), "one\r\n");
    fs::create_directories(dir.native("folder.txt"));
    EXPECT_EQ(platform.createTextFile(dir.u16("folder.txt")), nullptr);
    const auto places = platform.failureLogPaths();
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0], u"c:\\分发失败记录.txt");
    EXPECT_TRUE(places[1].ends_with(u"\\分发失败记录.txt"));
}

class RecordingPlatform : public Win32Platform {
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

    RecordingPlatform platform;
    platform.openInDesktop(u"", ShowAs::Normal);
    platform.openInDesktop(u"D:\\out", ShowAs::Normal);
    platform.openInDesktop(u"D:\\out", ShowAs::NormalWithoutFocus);
    platform.openInDesktop(u"D:\\out", ShowAs::Maximized);
    ASSERT_EQ(platform.started.size(), 3u);
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(platform.started[0].application, std::wstring(windows) + L"\\explorer.exe");
    EXPECT_EQ(platform.started[0].commandLine, L"explorer.exe D:\\out");
    const int shown[] = {SW_SHOWNORMAL, SW_SHOWNOACTIVATE, SW_SHOWMAXIMIZED};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(platform.started[i].showCommand, shown[i]);
}

TEST_F(Win32PlatformTest, TheSystem) {
    const std::u16string program = platform.programFolder();
    EXPECT_FALSE(program.ends_with(u'\\'));
    EXPECT_TRUE(platform.pathExists(program + u"\\qm_tests.exe")) << text::toUtf8(program);
    SetEnvironmentVariableW(L"QM_TEST_VALUE", L"值");
    EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"值");
    SetEnvironmentVariableW(L"QM_TEST_VALUE", nullptr);
    EXPECT_EQ(platform.environmentVariable(u"QM_TEST_VALUE"), u"");
    ASSERT_TRUE(platform.versionRecord());
    EXPECT_EQ(platform.versionRecord()->platformId, 2u);  // the NT family
}

}  // namespace
}  // namespace qm
