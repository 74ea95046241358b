// Handles, file facts and the copy that the Windows platform's file calls share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qm::win32 {

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

// Size and last-write time (FILETIME counts 100 ns from 1601).
inline FileFacts factsOf(std::uint64_t size, const FILETIME& written) {
    const auto ticks =
        static_cast<std::int64_t>((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
    return {size, (ticks - 116444736000000000LL) * 100};
}

struct FileInfo {
    BY_HANDLE_FILE_INFORMATION info;
    std::uint64_t size() const { return (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow; }
    bool sameFileAs(const FileInfo& other) const {
        return info.dwVolumeSerialNumber == other.info.dwVolumeSerialNumber &&
               info.nFileIndexHigh == other.info.nFileIndexHigh && info.nFileIndexLow == other.info.nFileIndexLow;
    }
    FileFacts facts() const { return factsOf(size(), info.ftLastWriteTime); }
};

// A regular file on a disk: not a folder, not a device or pipe (a name like
// "CON" or "NUL" opens one), and, when the link itself was opened, not a link.
bool isRegular(HANDLE file, FileInfo& out, bool linkItselfRefused);

// Opens a regular file for reading without following a link at its name;
// invalid for anything else.
Handle openRegular(const std::u16string& path, FileInfo& info);

// Reads until `size` bytes or the end of the file; the count read, or -1.
long long readFull(HANDLE file, char* buffer, DWORD size);
bool writeAll(HANDLE file, const char* data, DWORD size);
// Whether two open files hold the same bytes from their current positions on.
bool sameBytes(HANDLE a, HANDLE b);

// Marks an open file to go when it is closed (or clears the mark): a file
// being written under a temporary name then leaves nothing if the process dies.
bool markForDeletion(HANDLE file, bool mark);
// A fresh hidden name in the folder of `target`, for writing it whole first.
std::u16string temporaryNameBeside(const std::u16string& target);
void removeTemporary(const std::wstring& temporary);

// Copies `from` to the new name `to` as the transfer contract says: Copied,
// AlreadyThere or Failed, with the source's facts; the source is never touched.
TransferResult copyInto(const std::u16string& from, const std::u16string& to);

// A folder of a run: Windows reaches files by whole paths, so the open folder
// is its path with one separator, to which each name is appended.
class Win32Folder : public OpenFolder {
public:
    explicit Win32Folder(std::u16string path);
    std::u16string pathOf(NativeNameView name) const { return prefix_ + std::u16string(name); }

private:
    std::u16string prefix_;
};

}  // namespace qm::win32
