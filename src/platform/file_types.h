// What the platform's file calls take and give: names of a folder, open
// folders, files and their identities, and the files a run writes.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/native_name.h"

namespace qm {

// What became of one file handed to copyFile or moveFile.
enum class TransferOutcome {
    Moved,         // the file is at the destination and its source name is gone
    Copied,        // a new copy is at the destination; the source stays where it was
    AlreadyThere,  // a regular file with the same content was already there; nothing touched
    Failed,        // nothing at the destination was created or replaced
    Linked,        // a hard link to the source is at the destination
    Symlinked,     // a symbolic link to the source's path is at the destination
    Cloned,        // a clone sharing the source's blocks is at the destination
    Listed,        // nothing was transferred: the file is only in its share's list
};

// What a file is given instead of a copy.
enum class LinkKind { Hard, Symbolic, Clone };

// A moment as file systems keep it: whole seconds since 1970-01-01 UTC
// (negative before) and the nanoseconds within that second. Nanoseconds
// alone in 64 bits would end in 2262, and file systems hold later years.
struct FileTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;  // 0 to 999,999,999
    bool operator==(const FileTime&) const = default;
};

// Size and modification time of a regular file; what a record of a run
// keeps to know a file again.
struct FileFacts {
    std::uint64_t size = 0;
    FileTime modified;
    bool operator==(const FileFacts&) const = default;
};

// Which file it is, whatever name leads to it: device and inode on POSIX,
// volume serial number and file index on Windows. A rename keeps it; a copy
// is a new one.
struct FileId {
    std::uint64_t volume = 0, index = 0;
    bool operator==(const FileId&) const = default;
};

// A file as the record of a run knows it: which file, and as it was then.
struct FileStamp {
    FileId id;
    FileFacts facts;
    bool operator==(const FileStamp&) const = default;
};

// The outcome of one transfer, the facts of the source as it was read (all
// zero when it could not be), and the file now at the destination: the one
// published, or for AlreadyThere the one found there.
struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Failed;
    FileFacts facts;
    FileId id;
    // Failed because something else already had the destination name (a
    // file with other bytes, a folder, a link): a clash, not an access error.
    bool clash = false;
    // Published whole, but without the source's modification time or
    // permission bits: the destination's file system cannot keep them.
    bool unkept = false;
    // Why a link failed: the share is on another file system (a hard link),
    // or the system refuses this user symbolic links.
    enum class Trouble : std::uint8_t { None, OtherVolume, NoPrivilege };
    Trouble trouble = Trouble::None;
};

// Told, on the thread that transfers a file, the moment before the file
// appears under its destination name: the record of a run writes its line
// then, so that a run killed at any instant has recorded every file it put
// in place. Called once per attempt to publish (a rename that turns out to
// cross file systems is followed by a copy: a second call, with the copy's
// identity), with the facts and identity of the file about to appear (a
// copy's time is the source's, unless its file system could not keep it).
// Returning false stops the transfer: nothing is published, and the result
// is Failed.
class TransferWitness {
public:
    virtual ~TransferWitness() = default;
    virtual bool publishing(const FileFacts& appearingFacts, const FileId& appearing) = 0;
};

// What a name in a folder is, as the folder itself tells (a link is not
// followed).
enum class EntryKind { File, Folder, Link, Other };

// What changes whenever a name is added to a folder or taken from it: which
// folder it is, and the times its entries last changed. Two equal versions
// of a folder mean that it still holds the names it held.
struct FolderVersion {
    FileId id;
    FileTime modified, changed;
    bool operator==(const FolderVersion&) const = default;
};

// How an attempt to take one file of a run back ended.
enum class TakeBack {
    Done,        // moved back, or the copy deleted
    Gone,        // nothing has the name in the share any more
    Changed,     // the name in the share holds another file, or the file changed since
    NameTaken,   // something has the file's old name in the source folder
    SourceGone,  // a copy's source is no longer there to compare with
    SameFile,    // a copy's "source" is the copy itself (a link or a hard link leads there)
    Differs,     // a copy's bytes are no longer its source's
    CopiedBack,  // put back as a copy across file systems, but the share's file could not be removed
    Unlinked,    // a hard link's source is no longer the same file: the link is all that is left of it
    Failed,      // the file system refused
};

class OpenFolder;

// A file (or symbolic link) of a folder, held to be taken back: checked,
// compared, and moved or removed as the very file that was checked, even if
// its name is made to lead elsewhere meanwhile.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // The file as it was when it was held (a link: the link itself).
    virtual const FileStamp& stamp() const = 0;
    virtual EntryKind kind() const = 0;

    enum class Moved { Done, Taken, OtherVolume, Changed, Failed };
    // Renames it to `name` in `folder`, never replacing what has that name
    // (Taken); OtherVolume when the folder is on another one; Changed when
    // what would have moved was no longer it (nothing moved).
    virtual Moved moveTo(OpenFolder& folder, NativeNameView name) = 0;
    // A copy of it under `name` in `folder` (of a link: a new link like
    // it), made as a transfer's copy is (whole before it has the name,
    // never replacing: Taken).
    virtual Moved copyTo(OpenFolder& folder, NativeNameView name) = 0;
    // Whether it holds the same bytes as `other`.
    virtual bool sameBytes(HeldFile& other) = 0;
    // Removes it while it is still this very file, unchanged since it was
    // held: Done; Changed when another file took its name (that one stays);
    // Failed when the system refused.
    virtual TakeBack remove() = 0;
};

struct HeldResult {
    // Gone: nothing has the name. Other: something that is not a regular
    // file or link (a folder, a device). InUse: another program, or this
    // one through another name, holds the file so that it cannot be held
    // (on Windows the copy held itself, reached again through a link).
    enum class Status { Held, Gone, Other, InUse, Failed };
    Status status = Status::Failed;
    std::unique_ptr<HeldFile> file;
};

// A text file that receives whole lines; the implementation converts each line
// to the system's narrow encoding and ends it with CR LF. A write may be
// buffered: writeLine and close return false from the first write that did not
// reach the file on, so that a full disk is noticed no later than at close.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual bool writeLine(const std::u16string& line) = 0;
    // Hands what is buffered to the file now.
    virtual bool flush() = 0;
    virtual bool close() = 0;
};

// A file written at chosen places, for a record that is corrected in place
// as a run goes. Nothing is buffered: each write reaches the file before the
// call returns, so what was written survives the process being killed.
class RecordFile {
public:
    virtual ~RecordFile() = default;
    virtual bool writeAt(std::uint64_t offset, std::string_view bytes) = 0;
    // What is in the file already (a record opened again to be marked).
    virtual long long readAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
    virtual std::uint64_t size() = 0;
    // Cuts the file to `size` bytes (after a line that went in only in part).
    virtual bool truncate(std::uint64_t size) = 0;
    virtual bool close() = 0;
};

// A file read in pieces, and from its start again when asked: a record of a
// million rows is read as a stream, never whole.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Up to `size` bytes; 0 at the end, -1 on an error.
    virtual long long read(char* buffer, std::size_t size) = 0;
    virtual bool rewind() = 0;
    // The file's size, and reading on from `offset` (its last line, say).
    virtual std::uint64_t size() = 0;
    virtual bool seek(std::uint64_t offset) = 0;
};

// Held while a run (shared) or an undo (exclusive) works on the share folders
// in one folder; released when it goes, or when the process ends.
class FolderLock {
public:
    virtual ~FolderLock() = default;
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
    // Room for about `units` of names and `count` names, when the folder
    // can say beforehand. Without it the arena grows by copying itself, and
    // for a moment holds the names twice: a quarter of a million-file run's
    // memory. Room that is reserved and never written is address space, not
    // memory, so a generous guess costs nothing; a guess that cannot be had
    // is no error.
    void reserve(std::size_t units, std::size_t count) {
        try {
            arena.reserve(units);
            ends.reserve(count);
        } catch (const std::exception&) {
        }
    }
    void clear() {
        NativeName().swap(arena);
        std::vector<std::uint32_t>().swap(ends);
    }
};

// A folder that a run reads from or writes into, opened once so that each
// file is reached by its name alone, and so that what the path leads to
// later (a rename, a link put in its place) changes nothing for the run.
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

}  // namespace qm
