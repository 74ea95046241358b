// The file system and the system on Linux and other POSIX systems.
//
// Paths are converted with text::toUtf8/fromUtf8, so names that are not valid
// UTF-8 survive the round trip through the core.
#pragma once

#include <sys/types.h>

#include "platform/system.h"

namespace qm {

class PosixSystem : public System {
public:
    PosixSystem();

    PathStyle pathStyle() const override;

    bool listFolder(const std::u16string& folder, FolderNames& names) override;
    bool listTree(const std::u16string& folder, FolderNames& names, const std::u16string& skipping,
                  std::uint64_t& linkedFolders) override;
    bool canListFolder(const std::u16string& folder) override;
    PathState pathState(const std::u16string& path, Use use) override;
    std::u16string absolutePath(const std::u16string& path) override;
    bool pathExists(const std::u16string& path) override;
    bool folderExists(const std::u16string& path) override;
    bool makeFolders(const std::u16string& pathEndingInSeparator) override;
    std::unique_ptr<OpenFolder> openFolder(const std::u16string& path) override;
    std::unique_ptr<OpenFolder> openFolderBelow(OpenFolder& base, std::u16string_view relative, bool create) override;
    bool forEachEntry(OpenFolder& folder, const std::function<bool(NativeNameView, EntryKind)>& visit) override;
    std::optional<FileId> identityOf(OpenFolder& folder) override;
    std::optional<FolderVersion> folderVersion(const std::u16string& path) override;
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    TransferResult linkFile(OpenFolder& from, NativeNameView name, OpenFolder& to, LinkKind kind,
                            TransferWitness* witness) override;
    TransferResult writeFile(OpenFolder& folder, NativeNameView name, std::string_view bytes,
                             TransferWitness* witness) override;
    bool deleteFile(const std::u16string& path) override;
    std::optional<FileStamp> stampOf(OpenFolder& folder, NativeNameView name) override;
    HeldResult holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) override;
    bool removeFolderBelow(OpenFolder& parent, NativeNameView name) override;
    std::unique_ptr<FolderLock> lockFolder(OpenFolder& folder, bool exclusive) override;
    std::unique_ptr<RecordFile> createRecordFile(const std::u16string& path) override;
    std::unique_ptr<InputFile> openInputFile(const std::u16string& path) override;
    std::unique_ptr<RecordFile> createRecordIn(OpenFolder& folder, NativeNameView name) override;
    std::unique_ptr<InputFile> openInputIn(OpenFolder& folder, NativeNameView name) override;
    std::unique_ptr<RecordFile> openRecordIn(OpenFolder& folder, NativeNameView name) override;
    bool removeFileIn(OpenFolder& folder, NativeNameView name) override;
    bool renameIn(OpenFolder& folder, NativeNameView from, NativeNameView to) override;
    std::u16string stateFolder() override;
    std::unique_ptr<TextFile> createTextFile(const std::u16string& path) override;
    std::vector<std::u16string> failureLogPaths() override;

    std::u16string environmentVariable(const std::u16string& name) override;
    std::optional<VersionRecord> versionRecord() override;
    std::u16string programFolder() override;
    std::uint64_t clockSeed() override;
    FileTime currentTime() override;
    std::int64_t utcOffset(const FileTime& time) override;

    // Tests: new folders behave as on a file system that cannot set a
    // file's times or permission bits.
    void simulateRefusals(bool on) { simulateRefusals_ = on; }

private:
    bool simulateRefusals_ = false;
    // Read once, when the platform is made: reading it per file would cost
    // a read of /proc on every copy, and the program never changes it.
    mode_t umask_;
};

}  // namespace qm
