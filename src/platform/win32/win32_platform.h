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
    std::unique_ptr<OpenFolder> openFolderBelow(OpenFolder& base, std::u16string_view relative, bool create) override;
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    bool deleteFile(const std::u16string& path) override;
    std::optional<FileStamp> stampOf(OpenFolder& folder, NativeNameView name) override;
    TakeBack moveBack(OpenFolder& share, NativeNameView name, OpenFolder& source, const FileStamp& expected) override;
    TakeBack deleteCopy(OpenFolder& share, NativeNameView name, const FileStamp& expected,
                        OpenFolder& source) override;
    bool removeFolderBelow(OpenFolder& parent, NativeNameView name) override;
    std::unique_ptr<FolderLock> lockFolder(OpenFolder& folder, bool exclusive) override;
    std::unique_ptr<RecordFile> createRecordFile(const std::u16string& path) override;
    std::unique_ptr<InputFile> openInputFile(const std::u16string& path) override;
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
    FileTime currentTime() override;

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
