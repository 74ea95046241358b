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
    test::TempDir dir;
    Win32Platform platform;
};

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
