// The platform as the batch front end sees it: files and the system come from
// the real platform; message boxes are answered and printed, nothing is
// opened on the desktop, and the draw may be seeded from the command line.
#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "platform/platform.h"

namespace qm::batch {

class BatchPlatform : public Platform {
public:
    BatchPlatform(Platform& inner, std::ostream& out, std::ostream& err, bool answerOk,
                  std::optional<std::uint64_t> seed)
        : inner_(inner), out_(out), err_(err), answerOk_(answerOk), seed_(seed) {}

    // What the run reported last, and what it asked to open, in order.
    const std::u16string& lastMessage() const { return lastMessage_; }
    const std::vector<std::u16string>& opened() const { return opened_; }

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
    TransferOutcome copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override {
        return inner_.copyFile(from, name, to);
    }
    TransferOutcome moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) override {
        return inner_.moveFile(from, name, to);
    }
    bool deleteFile(const std::u16string& path) override { return inner_.deleteFile(path); }
    std::unique_ptr<TextFile> createTextFile(const std::u16string& path) override {
        return inner_.createTextFile(path);
    }
    std::vector<std::u16string> failureLogPaths() override { return inner_.failureLogPaths(); }
    std::u16string environmentVariable(const std::u16string& name) override {
        return inner_.environmentVariable(name);
    }
    std::optional<VersionRecord> versionRecord() override { return inner_.versionRecord(); }
    std::u16string programFolder() override { return inner_.programFolder(); }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override {}
    std::u16string browseForFolder(const std::u16string&, const std::u16string&, bool) override { return {}; }
    void openInDesktop(const std::u16string& target) override { opened_.push_back(target); }
    void showPointingCursor() override {}
    std::uint64_t clockSeed() override { return seed_ ? *seed_ : inner_.clockSeed(); }

private:
    Platform& inner_;
    std::ostream& out_;
    std::ostream& err_;
    bool answerOk_;
    std::optional<std::uint64_t> seed_;
    std::u16string lastMessage_;
    std::vector<std::u16string> opened_;
};

}  // namespace qm::batch
