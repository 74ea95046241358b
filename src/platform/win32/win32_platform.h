// The platform on Windows.
//
// Files, the environment, the clock and the programs it starts are real, and
// every name goes through the wide (UTF-16) calls, so any name the file
// system holds works whatever the code page. The members that face a person
// answer as a headless program must (message boxes take their default button,
// no dialog, no cursor); the window subclasses this and overrides them. This
// header stays free of <windows.h>, so that the core's tests can include it.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace qm {

class Win32Platform : public Platform {
public:
    PathStyle pathStyle() const override;

    bool listFolder(const std::u16string& folder, FolderNames& names) override;
    bool canListFolder(const std::u16string& folder) override;
    std::u16string absolutePath(const std::u16string& path) override;
    bool pathExists(const std::u16string& path) override;
    bool folderExists(const std::u16string& path) override;
    bool makeFolders(const std::u16string& pathEndingInSeparator) override;
    std::unique_ptr<OpenFolder> openFolder(const std::u16string& path) override;
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override;
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override;
    bool deleteFile(const std::u16string& path) override;
    std::optional<FileFacts> fileFacts(const std::u16string& path) override;
    bool sameContent(const std::u16string& a, const std::u16string& b) override;
    bool removeEmptyFolder(const std::u16string& path) override;
    std::optional<std::string> readFile(const std::u16string& path) override;
    std::unique_ptr<PendingFile> createPendingFile(const std::u16string& path) override;
    std::unique_ptr<TextFile> createTextFile(const std::u16string& path) override;
    std::vector<std::u16string> failureLogPaths() override;

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override;
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override;
    // Starts "explorer.exe TARGET" with its window shown as asked, and does
    // not wait for it.
    void openInDesktop(const std::u16string& target, ShowAs show) override;
    void showPointingCursor() override;

    std::u16string environmentVariable(const std::u16string& name) override;
    std::optional<VersionRecord> versionRecord() override;
    std::u16string programFolder() override;
    std::uint64_t clockSeed() override;

protected:
    // Starts `application` with `commandLine`, asking it to show its window
    // with `showCommand` (SW_...), and closes the handles at once; a failure
    // is ignored. Tests record here instead.
    virtual void startProgram(const std::wstring& application, const std::wstring& commandLine, int showCommand);
};

namespace win32 {

// One argument of a command line, as CommandLineToArgvW (and so a program's
// wmain) reads it back: as it is when it holds no blank, quote, "," or ";"
// (explorer.exe splits at those too), quoted and escaped otherwise.
std::wstring commandLineArgument(std::u16string_view argument);

// The command line that opens `target` in the file manager: "explorer.exe "
// and the target as one argument.
std::wstring explorerCommandLine(const std::u16string& target);

}  // namespace win32

}  // namespace qm
