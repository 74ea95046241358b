// The one interface between the window model and the outside world.
//
// The core (window/, engine/, settings/, folders/) reaches files, dialogs,
// message boxes, programs and the clock only through this class, so the same
// rules run headless in tests, behind Qt on Linux and later behind Win32.
// Every text crosses this boundary as UTF-16; an implementation converts at
// its own edge.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/native_name.h"

namespace qm {

// How paths are spelt on the platform. The dispatch rules were written for
// drive-letter paths ("C:\photos"); on a system without drive letters the
// "drive" part of a path is simply absent.
struct PathStyle {
    char16_t separator = u'/';
    bool driveLetters = false;
};

enum class MsgButtons { Ok, OkCancel };

// How the program that opens a target shows its window: the failure log comes
// to the front for reading, the target folder opens behind the completion
// report without taking the focus, a web page fills the screen. Desktops that
// leave this to the opened program ignore it.
enum class ShowAs { Normal, NormalWithoutFocus, Maximized };
enum class MsgIcon { Information, Critical };
enum class MsgResult { Ok, Cancel };

struct MessageBoxRequest {
    std::u16string prompt;  // may hold "\r\n" line breaks
    std::u16string title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::Information;
    int defaultButton = 0;  // 0 = first button, 1 = second
};

// What became of one file handed to copyFile or moveFile.
enum class TransferOutcome {
    Moved,         // the file is at the destination and its source name is gone
    Copied,        // a new copy is at the destination; the source stays where it was
    AlreadyThere,  // a regular file with the same content was already there; nothing touched
    Failed,        // nothing at the destination was created or replaced
};

// Size and modification time of a regular file (nanoseconds since
// 1970-01-01 UTC); what a record of a run keeps to know a file again.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    bool operator==(const FileFacts&) const = default;
};

// The outcome of one transfer and the facts of the file transferred (as the
// source was when it was read; all zero when it could not be).
struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Failed;
    FileFacts facts;
};

// A file written under a temporary name beside its place and put there,
// replacing whatever had the name, only by commit(): a file dropped without
// commit, or cut short by a kill, leaves nothing under the name.
class PendingFile {
public:
    virtual ~PendingFile() = default;
    virtual bool write(std::string_view bytes) = 0;
    virtual bool commit() = 0;
};

// A text file that receives whole lines; the implementation converts each line
// to the system's narrow encoding and ends it with CR LF. A write may be
// buffered: writeLine and close return false from the first write that did not
// reach the file on, so that a full disk is noticed no later than at close.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual bool writeLine(const std::u16string& line) = 0;
    virtual bool close() = 0;
};

// The regular files of one folder, compactly: their names back to back in
// one arena, in the platform's own spelling, and where each one ends. A
// folder of 100,000 files costs one allocation for the names, not 100,000.
struct FolderNames {
    NativeName arena;
    std::vector<std::uint32_t> ends;  // ends[i]: one past the last unit of name i

    std::size_t size() const { return ends.size(); }
    NativeNameView name(std::size_t i) const {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return NativeNameView(arena).substr(begin, ends[i] - begin);
    }
    void add(NativeNameView name) {
        arena.append(name);
        ends.push_back(static_cast<std::uint32_t>(arena.size()));
    }
    void clear() {
        NativeName().swap(arena);
        std::vector<std::uint32_t>().swap(ends);
    }
};

// A folder that a run reads from or writes into, opened once so that each
// file is reached by its name alone instead of by a whole path from the root.
class OpenFolder {
public:
    explicit OpenFolder(std::u16string path) : path_(std::move(path)) {}
    virtual ~OpenFolder() = default;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    const std::u16string& path() const { return path_; }

private:
    std::u16string path_;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual PathStyle pathStyle() const = 0;

    // --- files -------------------------------------------------------------
    // Replaces `names` with the names (without folder) of the regular files
    // in `folder`, hidden ones included, in no particular order (the file
    // list orders them). `names` is emptied first, so that a folder's old
    // list is gone before its new one is read. False when the folder cannot
    // be listed (missing, not a folder, no permission).
    virtual bool listFolder(const std::u16string& folder, FolderNames& names) = 0;
    // Whether `folder` is a folder that can be opened and read, without
    // reading all of it.
    virtual bool canListFolder(const std::u16string& folder) = 0;
    // The path made absolute against the current folder and normalised by
    // its text alone: no "." or ".." parts, no repeated separators, no
    // trailing separator but a root's; symbolic links are left as they are.
    // Empty for an empty path.
    virtual std::u16string absolutePath(const std::u16string& path) = 0;
    virtual bool pathExists(const std::u16string& path) = 0;    // file or folder
    virtual bool folderExists(const std::u16string& path) = 0;
    // Creates every missing folder of the path, top down; the text after the
    // last separator is not taken as a folder. Returns whether the folder exists afterwards.
    virtual bool makeFolders(const std::u16string& pathEndingInSeparator) = 0;
    // The transfer contract, the same on every platform:
    //  - Only a regular file is transferred. Files are opened so that nothing
    //    can block (a FIFO or device put in place of a source, or sitting at
    //    the destination name, is a failure, never a hang). A symbolic link
    //    in the source folder delivers the content it points to.
    //  - Never replace: whatever already has the destination name is left
    //    alone. A regular file there with the same bytes (and not the source
    //    itself) is AlreadyThere; anything else there is Failed.
    //  - Never half-written under a real name: data goes to an unnamed or
    //    hidden temporary file in the destination folder, which gets the
    //    source's modification time and permission bits and is then published
    //    under its name in one step that refuses an existing name. A failure
    //    or a kill leaves nothing under the name.
    //  - Permission bits are kept, except that set-user-ID and set-group-ID
    //    are dropped unless the copy has the source's owner and group.
    //
    //
    // The file `name` of folder `from` goes to the same name in folder `to`.
    // Both calls may run on two threads at once for different files.
    //
    // A folder to transfer from or into; nullptr when it cannot be opened.
    virtual std::unique_ptr<OpenFolder> openFolder(const std::u16string& path) = 0;
    // copyFile: Copied, AlreadyThere or Failed; the source is never touched.
    // The result carries the facts of the source as it was copied.
    virtual TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) = 0;
    // moveFile: a rename that refuses an existing name where the file system
    // allows it (Moved). Otherwise (another file system, a symbolic link, a
    // rename that was refused) the file is copied as above and, once the copy
    // is published, the source name is removed (Moved); when it cannot be
    // removed the result is Copied. A clash is AlreadyThere or Failed as for a
    // copy, and leaves the source where it is.
    virtual TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) = 0;
    virtual bool deleteFile(const std::u16string& path) = 0;
    // The facts of the regular file at `path` (a symbolic link is not
    // followed); nullopt for anything else or nothing.
    virtual std::optional<FileFacts> fileFacts(const std::u16string& path) = 0;
    // Whether both paths are regular files with the same bytes (links not followed).
    virtual bool sameContent(const std::u16string& a, const std::u16string& b) = 0;
    // Removes a folder only when it is empty.
    virtual bool removeEmptyFolder(const std::u16string& path) = 0;
    // A whole file's bytes; nullopt when it cannot be read.
    virtual std::optional<std::string> readFile(const std::u16string& path) = 0;
    // See PendingFile; nullptr when no temporary file can be made beside `path`.
    virtual std::unique_ptr<PendingFile> createPendingFile(const std::u16string& path) = 0;
    // Creates the failure log's file, exclusively and without following a
    // symbolic link at its name. Whatever has the name already is removed
    // first (never truncated through the name), unless a running run holds it
    // open as its own log. nullptr when the name is held by a running run or
    // the file cannot be created; the caller then tries its next place.
    virtual std::unique_ptr<TextFile> createTextFile(const std::u16string& path) = 0;
    // Where the failure log goes, best place first.
    virtual std::vector<std::u16string> failureLogPaths() = 0;

    // --- the user ----------------------------------------------------------
    virtual MsgResult messageBox(const MessageBoxRequest& request) = 0;
    virtual void beep() = 0;
    // The folder dialog: the chosen folder as the dialog gives it, or empty
    // when cancelled or when the choice has no file-system path.
    virtual std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                           bool newStyle) = 0;
    // Opens a folder, a document or an address in the desktop's own program,
    // without waiting; a failure is silently ignored.
    virtual void openInDesktop(const std::u16string& target, ShowAs show) = 0;
    virtual void showPointingCursor() = 0;
    // Called between files during a run so that a window can repaint; it must
    // not deliver user input.
    virtual void keepResponsive() {}

    // --- the system --------------------------------------------------------
    virtual std::u16string environmentVariable(const std::u16string& name) = 0;
    // The operating system's version record, when the system has one.
    struct VersionRecord {
        std::uint32_t major = 0, minor = 0, platformId = 0;
    };
    virtual std::optional<VersionRecord> versionRecord() = 0;
    virtual std::u16string programFolder() = 0;
    // A seed taken from the clock at sub-second resolution.
    virtual std::uint64_t clockSeed() = 0;
};

}  // namespace qm
