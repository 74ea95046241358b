// The file system and the system, as the core reaches them: folders and
// files, the record of a run and its undo, the failure log's file, the
// environment and the clock. Everything the engine and the command line
// need, and nothing that faces a person (see user.h).
//
// THREADS: a run calls copyFile and moveFile, and through them the
// TransferWitness it passes, from its transfer threads, several at once, for
// different files with the same open folders; openFolderBelow may be called
// from a transfer thread too (a share opened on first use). Every other call
// comes from the one thread that asked for the run, the undo or the window's
// work (the window's thread, or the command line's).
//
// OPEN FOLDERS: an OpenFolder (and a HeldFile) passed to a call comes from
// the same System, which may take it for its own kind of folder.
//
// Every text crosses this boundary as UTF-16; an implementation converts at
// its own edge.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_types.h"

namespace qm {

// How paths are spelt on the platform. The dispatch rules were written for
// drive-letter paths ("C:\photos"); on a system without drive letters the
// "drive" part of a path is simply absent.
struct PathStyle {
    char16_t separator = u'/';
    bool driveLetters = false;
};

class System {
public:
    virtual ~System() = default;

    virtual PathStyle pathStyle() const = 0;

    // --- files -------------------------------------------------------------
    // Replaces `names` with the names (without folder) of the regular files
    // in `folder`, hidden ones included, in no particular order (the file
    // list orders them). `names` is emptied first, so that a folder's old
    // list is gone before its new one is read. False when the folder cannot
    // be listed (missing, not a folder, no permission).
    virtual bool listFolder(const std::u16string& folder, FolderNames& names) = 0;
    // The same for `folder` and every folder below it: the regular files'
    // paths relative to `folder` (parts separated by the separator). Folders
    // below are entered without following links: a link to a folder is not
    // entered but counted in `linkedFolders`; a folder whose path begins with
    // `skipping` (the share folders of a run into its own import folder) is
    // not entered. False when `folder` cannot be listed.
    virtual bool listTree(const std::u16string& folder, FolderNames& names, const std::u16string& skipping,
                          std::uint64_t& linkedFolders) = 0;
    // Whether `folder` is a folder that can be opened and read, without
    // reading all of it.
    virtual bool canListFolder(const std::u16string& folder) = 0;
    // Why a folder or file named on a command line can or cannot be used as
    // asked, before anything is made: told to the user in their words.
    enum class Use { ReadFolder, WriteFolder, ReadFile };
    enum class PathState { Usable, Missing, NotAFolder, NotAFile, NoPermission, ReadOnly, Unusable };
    virtual PathState pathState(const std::u16string& path, Use use) = 0;
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
    // A folder to transfer from or into, as the user named it (links on its
    // path are followed: the user chose it); nullptr when it cannot be opened.
    virtual std::unique_ptr<OpenFolder> openFolder(const std::u16string& path) = 0;
    // The folder `relative` below `base` (parts separated by the platform's
    // separator; empty parts skipped; "." and ".." refused), each part made
    // where missing when `create` is set and entered without following a
    // symbolic link or junction. nullptr when a part cannot be made or
    // entered, or is a link. The folders on the way stay open with it, so
    // that renaming one of them meanwhile redirects nothing.
    virtual std::unique_ptr<OpenFolder> openFolderBelow(OpenFolder& base, std::u16string_view relative,
                                                        bool create) = 0;
    // Each entry of an open folder but "." and "..", with what it is (links
    // are not followed), until `visit` returns false. False when the folder
    // cannot be read to its end.
    virtual bool forEachEntry(OpenFolder& folder,
                              const std::function<bool(NativeNameView name, EntryKind kind)>& visit) = 0;
    // Which folder an open folder is.
    virtual std::optional<FileId> identityOf(OpenFolder& folder) = 0;
    // The folder's version, when the file system keeps one that no added or
    // removed name can leave unchanged (but for a change in the same tick of
    // its clock as the one before: a version only proves something of a
    // folder whose times are a while old); nullopt when it does not, and the
    // folder must be read again.
    virtual std::optional<FolderVersion> folderVersion(const std::u16string& path) = 0;

    // The transfer contract, the same on every platform:
    //  - Only a regular file is transferred, or a symbolic link to one. Files
    //    are opened so that nothing can block (a FIFO or device put in place
    //    of a source, or sitting at the destination name, is a failure, never
    //    a hang). A copied symbolic link delivers the content it points to; a
    //    moved one moves as the link itself.
    //  - Never replace: whatever already has the destination name is left
    //    alone. A regular file there with the same bytes (and not the source
    //    itself) is AlreadyThere; anything else there is Failed.
    //  - Never half-written under a real name: data goes to an unnamed or
    //    hidden temporary file in the destination folder, which gets the
    //    source's modification time and permission bits and is then published
    //    under its name in one step that refuses an existing name. A failure
    //    or a kill leaves nothing under the name.
    //  - A copy is a snapshot: exactly the size the source had when it was
    //    opened. A source that grows or shrinks meanwhile fails the copy.
    //  - Permission bits are kept, except that set-user-ID and set-group-ID
    //    are dropped unless the copy has the source's owner and group.
    //  - The witness, when given, hears of each publishing step before it
    //    happens and can stop it (see TransferWitness).
    //
    // The file `name` of folder `from` goes to the same name in folder `to`.
    // THREADS: copyFile and moveFile may run on several threads at once, for
    // different files, with the same open folders.
    //
    // copyFile: Copied, AlreadyThere or Failed; the source is never touched.
    virtual TransferResult copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                    TransferWitness* witness) = 0;
    // moveFile: a rename that refuses an existing name where the file system
    // allows it (Moved). Otherwise (another file system, a rename that was
    // refused) the file is copied as above and, once the copy is published,
    // the source name is removed (Moved); when it cannot be removed the
    // result is Copied. A symbolic link is renamed, or on another file system
    // made anew there (under a hidden name first, with the link's time) and
    // then removed; its facts and identity are the link's own. A clash is
    // AlreadyThere or Failed as for a copy, and leaves the source where it is.
    virtual TransferResult moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                    TransferWitness* witness) = 0;
    // linkFile, instead of a copy and under the same rules (never replace,
    // published whole, the witness told first; a source that is a link
    // stands for what it leads to): a hard link to the source (Linked; a
    // share on another file system fails, Trouble::OtherVolume), a symbolic
    // link to the source's path, `from`'s path and the name (Symlinked; a
    // system that refuses this user links fails, Trouble::NoPrivilege), or a
    // clone sharing the source's blocks (Cloned; a copy where the file
    // system cannot clone: Copied). AlreadyThere when the same is there
    // already: the very file, a link to that path, the same bytes.
    virtual TransferResult linkFile(OpenFolder& from, NativeNameView name, OpenFolder& to, LinkKind kind,
                                    TransferWitness* witness) = 0;
    // A new file `name` in `folder` holding `bytes` (a run's list), whole
    // before it has the name and never replacing: Copied; AlreadyThere when
    // a file with those bytes has the name; otherwise Failed (a clash).
    virtual TransferResult writeFile(OpenFolder& folder, NativeNameView name, std::string_view bytes,
                                     TransferWitness* witness) = 0;
    virtual bool deleteFile(const std::u16string& path) = 0;

    // --- taking a run back ---------------------------------------------------
    // What to take back, and whether, the engine decides (engine/take_back.h)
    // the same way on every system; the system holds the file and acts on
    // what it holds, never on a name twice.
    //
    // The regular file or symbolic link `name` in `folder` (a link is not
    // followed: its own identity); nullopt for anything else or nothing.
    virtual std::optional<FileStamp> stampOf(OpenFolder& folder, NativeNameView name) = 0;
    // Holds `name` in `folder` to be checked and taken back (see HeldFile):
    // the link itself, or with `followLinks` what it leads to.
    virtual HeldResult holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) = 0;
    // Removes the folder `name` in `parent` when it is an empty folder (not a link).
    virtual bool removeFolderBelow(OpenFolder& parent, NativeNameView name) = 0;
    // Runs share a folder; an undo has it alone. nullptr when the other kind
    // holds it (or it cannot be locked at all).
    virtual std::unique_ptr<FolderLock> lockFolder(OpenFolder& folder, bool exclusive) = 0;

    // --- the record of a run ---------------------------------------------------
    // A new regular file at `path`, created exclusively: whatever has the
    // name already (a file, a folder, a device, a link) is never replaced or
    // followed. nullptr when it cannot be created.
    virtual std::unique_ptr<RecordFile> createRecordFile(const std::u16string& path) = 0;
    // A regular file for reading; nullptr for anything else (a device or FIFO
    // is never opened in a way that could block).
    virtual std::unique_ptr<InputFile> openInputFile(const std::u16string& path) = 0;
    // The same in an open folder, the name not followed when it is a link:
    // a new record file; an existing regular file to read, or to read and
    // write (to mark a record); removing a file or link (never a folder); and
    // renaming one within the folder, never replacing what has the new name.
    virtual std::unique_ptr<RecordFile> createRecordIn(OpenFolder& folder, NativeNameView name) = 0;
    virtual std::unique_ptr<InputFile> openInputIn(OpenFolder& folder, NativeNameView name) = 0;
    virtual std::unique_ptr<RecordFile> openRecordIn(OpenFolder& folder, NativeNameView name) = 0;
    virtual bool removeFileIn(OpenFolder& folder, NativeNameView name) = 0;
    virtual bool renameIn(OpenFolder& folder, NativeNameView from, NativeNameView to) = 0;
    // The folder where the program keeps what it remembers for this user
    // (the records of the window's runs): on Linux $XDG_STATE_HOME/quillmarsh
    // (~/.local/state/quillmarsh), on Windows %LOCALAPPDATA%\Quillmarsh. It
    // may not exist yet; empty when the system names no such place.
    virtual std::u16string stateFolder() = 0;

    // Creates the failure log's file, exclusively and without following a
    // symbolic link at its name. Whatever has the name already is removed
    // first (never truncated through the name), unless a running run holds it
    // open as its own log. nullptr when the name is held by a running run or
    // the file cannot be created; the caller then tries its next place.
    virtual std::unique_ptr<TextFile> createTextFile(const std::u16string& path) = 0;
    // Where the failure log goes, best place first.
    virtual std::vector<std::u16string> failureLogPaths() = 0;

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
    // The current time (UTC).
    virtual FileTime currentTime() = 0;
    // How far the local time is ahead of UTC at `time`, in seconds (a person
    // reads times in local time).
    virtual std::int64_t utcOffset(const FileTime& time) = 0;
};

}  // namespace qm
