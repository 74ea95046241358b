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
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override {
        return inner_.copyFile(from, name, to);
    }
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override {
        return inner_.moveFile(from, name, to);
    }
    bool deleteFile(const std::u16string& path) override { return inner_.deleteFile(path); }
    std::optional<FileFacts> fileFacts(const std::u16string& path) override { return inner_.fileFacts(path); }
    bool sameContent(const std::u16string& a, const std::u16string& b) override { return inner_.sameContent(a, b); }
    bool removeEmptyFolder(const std::u16string& path) override { return inner_.removeEmptyFolder(path); }
    std::optional<std::string> readFile(const std::u16string& path) override { return inner_.readFile(path); }
    std::unique_ptr<PendingFile> createPendingFile(const std::u16string& path) override {
        return inner_.createPendingFile(path);
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

protected:
    Platform& inner_;
};

}  // namespace qm
