// A platform for driving the window headless: files are real (in a temporary
// folder, through the platform of the system the tests run on), while
// everything that would face a person is scripted and recorded.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/native_system.h"
#include "platform/platform.h"
#include "support/native.h"

namespace qm::test {

// Both sides of the platform in one object, so that the calls of both are
// recorded in one list, in the order they came.
class FakePlatform : public NativeSystem, public User {
public:
    operator Platform() { return {*this, *this}; }

    // Everything the core asked for, in order, as readable lines
    // ("mkdir ...", "copy A -> B", "move A -> B", "box TITLE: PROMPT", "open X", "beep", ...).
    std::vector<std::u16string> calls;
    std::vector<MessageBoxRequest> boxes;
    std::vector<std::u16string> opened;
    int beeps = 0;
    int listings = 0;  // folders read in full

    // Answers for OK/Cancel boxes, taken in order; when none is left, the
    // box's default button answers.
    std::deque<MsgResult> answers;
    // Results of the folder dialog, taken in order; empty when none is left.
    std::deque<std::u16string> dialogResults;
    struct DialogCall {
        std::u16string title, initialFolder;
        bool newStyle;
    };
    std::vector<DialogCall> dialogs;

    std::uint64_t seed = 42;
    // Seconds the clock is ahead of the system's: a folder made by the test
    // then looks as if it had been left alone for a while.
    std::int64_t clockAhead = 0;
    std::u16string programFolderPath = kProgramFolder;
    std::u16string stateFolderPath;  // empty: the window keeps no records
    std::vector<std::u16string> logPaths;  // empty: the platform's own places
    // Text files at these paths fail every write from the n-th line on (1 =
    // the first), as a full disk would.
    std::map<std::u16string, int> failWritesFrom;
    std::optional<VersionRecord> version;
    std::vector<std::pair<std::u16string, std::u16string>> environment;
    // States a test gives paths the real file system cannot give them here
    // (no permission, when the tests run as root).
    std::map<std::u16string, PathState> pathStates;
    PathState pathState(const std::u16string& path, Use use) override {
        const auto scripted = pathStates.find(path);
        return scripted != pathStates.end() ? scripted->second : NativeSystem::pathState(path, use);
    }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override;
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override;
    void openInDesktop(const std::u16string& target, ShowAs show) override;
    void showPointingCursor() override { record(u"pointer"); }
    std::uint64_t clockSeed() override { return seed; }
    FileTime currentTime() override {
        FileTime now = NativeSystem::currentTime();
        now.seconds += clockAhead;
        return now;
    }
    std::u16string programFolder() override { return programFolderPath; }
    std::u16string stateFolder() override { return stateFolderPath; }
    std::vector<std::u16string> failureLogPaths() override;
    std::optional<VersionRecord> versionRecord() override { return version; }
    std::u16string environmentVariable(const std::u16string& name) override;

    // Record files take this many writes and fail every one after (a disk
    // that fills up); -1: no limit.
    int recordWrites = -1;
    // Called after each transfer (on the thread that did it) and before an
    // undo holds a share's file, with the file's name: a test changes the
    // world there.
    std::function<void(const std::u16string& name)> afterTransfer, beforeTakeBack;

    bool makeFolders(const std::u16string& path) override;
    std::unique_ptr<OpenFolder> openFolderBelow(OpenFolder& base, std::u16string_view relative, bool create) override;
    bool listFolder(const std::u16string& folder, FolderNames& names) override;
    TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to, TransferWitness* witness) override;
    HeldResult holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) override;
    bool deleteFile(const std::u16string& path) override;
    std::unique_ptr<RecordFile> createRecordFile(const std::u16string& path) override;
    std::unique_ptr<TextFile> createTextFile(const std::u16string& path) override;

    // Index of the first recorded call that starts with `prefix`, or -1.
    int indexOf(std::u16string_view prefix) const;

private:
    // A copy run works on two threads, and the run thread records its own
    // calls (folders, the log) while the helper records copies.
    void record(std::u16string call);
    std::mutex calls_;
};

}  // namespace qm::test
