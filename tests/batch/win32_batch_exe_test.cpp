// quillmarsh-batch.exe end to end: a real process, real folders, exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "support/native.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm::test {
namespace {

struct Result {
    DWORD exitCode;
    std::string out, err;
};

HANDLE inheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

std::wstring batchProgram() { return win32::wide(Win32System().programFolder() + u"\\quillmarsh-batch.exe"); }

// Starts the program with stdout and stderr going to files in `dir`.
PROCESS_INFORMATION start(const TempDir& dir, const std::vector<std::string>& args) {
    std::wstring line = L"quillmarsh-batch.exe";
    for (const std::string& arg : args) line += L" " + win32::commandLineArgument(text::fromUtf8(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = inheritableFile(win32::wide(dir.u16("stdout")));
    startup.hStdError = inheritableFile(win32::wide(dir.u16("stderr")));
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(batchProgram().c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    EXPECT_TRUE(started) << GetLastError();
    return process;
}

DWORD exitCodeOf(PROCESS_INFORMATION process) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

Result run(const TempDir& dir, const std::vector<std::string>& args) {
    const DWORD code = exitCodeOf(start(dir, args));
    return {code, dir.read("stdout"), dir.read("stderr")};
}

std::map<std::string, std::size_t> shareSizes(const TempDir& dir, const std::string& out) {
    std::map<std::string, std::size_t> sizes;
    for (const std::string& share : dir.list(out)) sizes[share] = dir.list(out + "/" + share).size();
    return sizes;
}

TEST(BatchExe, DealsAFolderOfChineseNamesAndReportsByExitCode) {
    TempDir dir;
    for (int i = 1; i <= 12; ++i) dir.write("照片/图片" + std::to_string(i) + ".jpg", "样本" + std::to_string(i));
    const std::string src = dir.str("照片");
    for (const char* folder : {"分发", "移动"}) std::filesystem::create_directory(dir.native(folder));

    Result copy = run(dir, {"--import", src, "--export", dir.str("分发"), "--per-share", "5", "--seed", "3"});
    EXPECT_EQ(copy.exitCode, 0u) << copy.err;
    EXPECT_EQ(copy.out, "分发完毕！\r\n");
    EXPECT_EQ(copy.err, "");  // no progress when stderr is not a console
    EXPECT_EQ(shareSizes(dir, "分发"),
              (std::map<std::string, std::size_t>{{"照片_分发1", 5}, {"照片_分发2", 5}, {"照片_分发3", 2}}));

    // Again into the same shares, with one file there that is not the same:
    // it fails, is logged in the ANSI code page, and the log's path is printed.
    dir.write("分发/照片_分发1/图片1.jpg", "别的内容");
    dir.write("分发/照片_分发2/图片1.jpg", "别的内容");
    dir.write("分发/照片_分发3/图片1.jpg", "别的内容");
    Result clash = run(dir, {"--import", src, "--export", dir.str("分发"), "--per-share", "5", "--seed", "4"});
    EXPECT_EQ(clash.exitCode, 1u) << clash.err;
    const std::string report = "分发完毕！因文件访问错误，分发失败1份。\r\n稍候请参见分发失败的记录。\r\n"
                               "其中1个文件因目标位置已有不同的同名文件而未分发。\r\n";
    ASSERT_TRUE(clash.out.starts_with(report)) << clash.out;
    const std::string logPath = clash.out.substr(report.size(), clash.out.size() - report.size() - 2);
    TempDir logDir;  // the log's own place is outside the test's folder: read it through a copy
    ASSERT_TRUE(CopyFileW(win32::wide(text::fromUtf8(logPath)).c_str(), win32::wide(logDir.u16("log")).c_str(), FALSE));
    DeleteFileW(win32::wide(text::fromUtf8(logPath)).c_str());
    const std::string bytes = logDir.read("log");
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF"));  // every name fits code page 936
    EXPECT_TRUE(logText(bytes).starts_with("分发失败记录列表详情：\r\n" + dir.str("照片/图片1.jpg") + "  →  " +
                                           dir.str("分发/照片_分发")))
        << logText(bytes);

    // A move in the average mode empties the source folder.
    Result move = run(dir, {"--import", src, "--export", dir.str("移动"), "--shares", "4", "--move", "--seed", "5"});
    EXPECT_EQ(move.exitCode, 0u) << move.err;
    EXPECT_EQ(move.out, "在分发的同时移走原文件？\r\n分发完毕！\r\n");
    EXPECT_EQ(dir.list("照片"), std::vector<std::string>{});
    EXPECT_EQ(shareSizes(dir, "移动"), (std::map<std::string, std::size_t>{
                                         {"照片_分发1", 3}, {"照片_分发2", 3}, {"照片_分发3", 3}, {"照片_分发4", 3}}));

    Result help = run(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find("--per-share"), std::string::npos);
    EXPECT_EQ(run(dir, {"/?"}).out, help.out);  // as Windows' own commands answer
    Result usage = run(dir, {"--import", src, "--bogus"});
    EXPECT_EQ(usage.exitCode, 2u);
    EXPECT_NE(usage.err.find("quillmarsh-batch: 未知的选项：--bogus"), std::string::npos) << usage.err;
}

// A run killed in the middle of a large file leaves no file under a source's
// name that is not whole; running it again completes every file. (A kill in
// the instant between making a temporary file and marking it for deletion
// can leave that hidden ".part" file: it never takes a source's name.)
TEST(BatchExe, AKilledCopyLeavesOnlyWholeFiles) {
    TempDir dir;
    const std::string big(32 << 20, 'q');
    for (const char* name : {"src/a.bin", "src/b.bin"}) dir.write(name, big);
    dir.write("src/small.txt", "small");
    const std::vector<std::string> args{"--import", dir.str("src"), "--export", dir.str("out"), "--shares", "1",
                                        "--seed", "1", "--quiet"};
    std::filesystem::create_directory(dir.native("out"));
    PROCESS_INFORMATION process = start(dir, args);
    // Stopped as soon as the first file shows in the share folder: under its
    // temporary name while it is written, a large file takes a while.
    const auto started = [&] { return dir.exists("out/src_分发1") && !dir.list("out/src_分发1").empty(); };
    for (int ms = 0; ms < 30000 && !started(); ++ms) Sleep(1);
    TerminateProcess(process.hProcess, 99);
    EXPECT_EQ(exitCodeOf(process), 99u) << "the run ended before it was stopped";
    auto named = [&] {
        std::vector<std::string> names = dir.list("out/src_分发1");
        std::erase_if(names, [](const std::string& n) { return n.starts_with(".quillmarsh-") && n.ends_with(".part"); });
        return names;
    };
    for (const std::string& name : named()) {
        EXPECT_TRUE(dir.exists("src/" + name)) << name << " is not a source's name";
        EXPECT_TRUE(dir.read("out/src_分发1/" + name) == dir.read("src/" + name)) << name << " is not whole";
    }
    EXPECT_EQ(run(dir, args).exitCode, 0u);
    EXPECT_EQ(named(), (std::vector<std::string>{"a.bin", "b.bin", "small.txt"}));
}

}  // namespace
}  // namespace qm::test
