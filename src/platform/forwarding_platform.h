// A platform that hands every call to another one: the base of platforms
// that change only a few answers (the command line answers the person-facing
// calls itself and takes the files and the system from the real platform).
#pragma once

#include "platform/platform.h"

namespace qm {

class ForwardingPlatform : public Platform {
public:
    explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

    PathStyle pathStyle() const override { return inner_.pathStyle(); }
    bool listFolder(const std::u16string& folder, FolderNames& names) override {
        return inner_.listFolder(folder, names);
    }
    bool canListFolder(const std::u16string& folder) override { return inner_.canListFolder(folder); }
    std::u16string absolutePath(const std::u16string& path) override { return inner_.absolutePath(path); }
    bool pathExists(const std::u16string& path) override { return inner_.pathExists(path); }
    bool folderExists(const std::u16string& path) override { return inner_.folderExists(path); }
    bool makeFolders(const std::u16string& path) override { return inner_.makeFolders(path); }
    std::unique_ptr<OpenFolder> openFolder(const std::u16string& path) override { return inner_.openFolder(path); }
    std::unique_ptr<OpenFolder> openFolderBelow(OpenFolder& base, std::u16string_view relative, bool create) override {
        return inner_.openFolderBelow(base, relative, create);
    }
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override {
        return inner_.copyFile(from, name, to, witness);
    }
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override {
        return inner_.moveFile(from, name, to, witness);
    }
    bool deleteFile(const std::u16string& path) override { return inner_.deleteFile(path); }
    std::optional<FileStamp> stampOf(OpenFolder& folder, NativeNameView name) override {
        return inner_.stampOf(folder, name);
    }
    TakeBack moveBack(OpenFolder& share, NativeNameView name, OpenFolder& source, const FileStamp& expected) override {
        return inner_.moveBack(share, name, source, expected);
    }
    TakeBack deleteCopy(OpenFolder& share, NativeNameView name, const FileStamp& expected,
                        OpenFolder& source) override {
        return inner_.deleteCopy(share, name, expected, source);
    }
    bool removeFolderBelow(OpenFolder& parent, NativeNameView name) override {
        return inner_.removeFolderBelow(parent, name);
    }
    std::unique_ptr<FolderLock> lockFolder(OpenFolder& folder, bool exclusive) override {
        return inner_.lockFolder(folder, exclusive);
    }
    std::unique_ptr<RecordFile> createRecordFile(const std::u16string& path) override {
        return inner_.createRecordFile(path);
    }
    std::unique_ptr<InputFile> openInputFile(const std::u16string& path) override {
        return inner_.openInputFile(path);
    }
    std::unique_ptr<TextFile> createTextFile(const std::u16string& path) override {
        return inner_.createTextFile(path);
    }
    std::vector<std::u16string> failureLogPaths() override { return inner_.failureLogPaths(); }

    MsgResult messageBox(const MessageBoxRequest& request) override { return inner_.messageBox(request); }
    void beep() override { inner_.beep(); }
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override {
        return inner_.browseForFolder(title, initialFolder, newStyle);
    }
    void openInDesktop(const std::u16string& target, ShowAs show) override { inner_.openInDesktop(target, show); }
    void showPointingCursor() override { inner_.showPointingCursor(); }
    void keepResponsive() override { inner_.keepResponsive(); }

    std::u16string environmentVariable(const std::u16string& name) override {
        return inner_.environmentVariable(name);
    }
    std::optional<VersionRecord> versionRecord() override { return inner_.versionRecord(); }
    std::u16string programFolder() override { return inner_.programFolder(); }
    std::uint64_t clockSeed() override { return inner_.clockSeed(); }
    FileTime currentTime() override { return inner_.currentTime(); }

protected:
    Platform& inner_;
};

}  // namespace qm
