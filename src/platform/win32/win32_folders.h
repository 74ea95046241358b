// Open folders, handles and the facts of files, as every file call of the
// Windows side uses them: which file a handle is and what it is, renaming
// and removing through a handle, hidden names for files on their way in.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qm::win32 {

// An open handle, closed when it goes.
class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            close();
            h_ = other.h_;
            other.h_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes now, reporting the result: a delayed write error can surface here.
    bool close() {
        const HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

// A FILETIME (100 ns steps from 1601) as seconds and nanoseconds from 1970.
inline FileTime timeOf(const FILETIME& time) {
    const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    return {static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL,
            static_cast<std::uint32_t>(ticks % 10000000) * 100};
}

// Size and last-write time.
inline FileFacts factsOf(std::uint64_t size, const FILETIME& written) { return {size, timeOf(written)}; }

struct FileInfo {
    BY_HANDLE_FILE_INFORMATION info;
    std::uint64_t size() const { return (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow; }
    bool sameFileAs(const FileInfo& other) const {
        return info.dwVolumeSerialNumber == other.info.dwVolumeSerialNumber &&
               info.nFileIndexHigh == other.info.nFileIndexHigh && info.nFileIndexLow == other.info.nFileIndexLow;
    }
    FileFacts facts() const { return factsOf(size(), info.ftLastWriteTime); }
    FileId id() const {
        return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    FileStamp stamp() const { return {id(), facts()}; }
};

// A regular file on a disk: not a folder, not a device or pipe (a name like
// "CON" or "NUL" opens one), and, when the link itself was opened, not a link.
bool isRegular(HANDLE file, FileInfo& out, bool linkItselfRefused);

// What a file opened as itself (FILE_FLAG_OPEN_REPARSE_POINT) is: a regular
// file, a symbolic link made for a file (the link's own facts in `info`), or
// anything else: a folder or a link to one, a device, another kind of
// reparse point.
enum class Itself { Regular, Link, Other };
Itself whatIs(HANDLE file, FileInfo& info);

// Marks an open file to go when it is closed (or clears the mark): a file
// being written under a temporary name then leaves nothing if the process dies.
bool markForDeletion(HANDLE file, bool mark);

// Renames the open file (opened with DELETE access) to `target`, never
// replacing what has that name: false with the error (ERROR_ALREADY_EXISTS,
// ERROR_NOT_SAME_DEVICE, ...) left for GetLastError.
bool renameOpen(HANDLE file, const std::u16string& target);

// Removes the open file's name now, though others may still have it open:
// with POSIX semantics where the system has them (Windows 10 on NTFS);
// elsewhere the file is only marked, and its name goes with the last handle.
bool removeNow(HANDLE file);

// A fresh hidden name in the folder of `target`, for writing it whole first.
std::u16string temporaryNameBeside(const std::u16string& target);
void removeTemporary(const std::wstring& temporary);

// A handle that this process keeps on a folder: a run's folder, held
// without FILE_SHARE_DELETE so that its path keeps leading there, or a lock.
// Windows refuses DELETE access to a folder while any handle on it does not
// share it, the process's own included, and keeps a folder that was removed
// until its last handle closes (so that the folder above it is not empty
// yet). A folder that this process removes therefore first has every hold
// of the process on it give way (see removeEmptyFolder), and gets them back,
// reopened from a handle of the folder itself, when it stays.
class FolderHold {
public:
    // `access`, `sharing` and `flags` as `handle` was opened with, to open it again.
    FolderHold(Handle handle, DWORD access, DWORD sharing, DWORD flags);
    ~FolderHold();
    FolderHold(const FolderHold&) = delete;
    FolderHold& operator=(const FolderHold&) = delete;
    // Invalid once its folder was removed.
    HANDLE get() const;

private:
    friend bool removeEmptyFolder(HANDLE folder);
    Handle handle_;
    FileId id_;
    DWORD access_, sharing_, flags_;
};

// Removes the folder open in `folder` (as itself, sharing everything) when
// it is empty, the holds of this process on it giving way first; a folder
// that stays (it holds something, another program holds it) gets them back.
bool removeEmptyFolder(HANDLE folder);

// What the file system of a run's folders refused to set on a new file
// (some network redirectors, FAT and file systems of other programs keep
// no times or attributes, or refuse to set them), so that the call is not
// made again for every file. Shared by a folder and the folders opened
// below it: a run's share folders learn it once for the whole run.
struct Refusals {
    std::atomic<bool> times{false}, attributes{false};
    // Tests: the file system answers every such call as one that cannot.
    bool simulated = false;
};

// How a file system refused to set the times or attributes of a file that
// this process has just made (and so may set them on): not at all, for this
// file only (a value it cannot hold, such as a time before 1980 on FAT), or
// for every file (it cannot set them, or will not).
enum class Refused { No, ThisFile, EveryFile };
Refused refusedFor(DWORD error);

// A folder of a run. Windows reaches files by whole paths, so the open folder
// is its path with one separator, to which each name is appended; what keeps
// that path leading to the same folder is the folder's handle, held open
// without FILE_SHARE_DELETE (so that it cannot be renamed or replaced while
// the run works in it), together with the handles of the folders on the way
// down from where the walk started.
class Win32Folder : public OpenFolder {
public:
    using Chain = std::vector<std::shared_ptr<const FolderHold>>;
    Win32Folder(std::u16string path, std::shared_ptr<const FolderHold> hold, DWORD volume, Chain above,
                std::shared_ptr<Refusals> refusals);
    std::u16string pathOf(NativeNameView name) const { return prefix_ + std::u16string(name); }
    HANDLE handle() const { return chain_.back()->get(); }
    DWORD volume() const { return volume_; }
    // This folder's handle and those above it, for a folder opened below.
    const Chain& chain() const { return chain_; }
    Refusals& refusals() const { return *refusals_; }
    const std::shared_ptr<Refusals>& sharedRefusals() const { return refusals_; }
    // Whether its volume can share a file's blocks with another file
    // (block cloning: ReFS), asked of the volume once.
    bool clonesBlocks() const;

private:
    std::u16string prefix_;
    DWORD volume_;
    Chain chain_;
    std::shared_ptr<Refusals> refusals_;
    enum : int { kUnasked, kClones, kCannot };
    mutable std::atomic<int> clones_{kUnasked};
};

// Opens a folder for a run: a folder (not a file or device), and, when
// `refuseLinks`, not a symbolic link or junction itself. nullptr otherwise.
std::unique_ptr<Win32Folder> openWin32Folder(const std::u16string& path, bool refuseLinks, Win32Folder::Chain above,
                                             std::shared_ptr<Refusals> refusals);

}  // namespace qm::win32
