// The record of a run: written as the run goes, read back as a stream, and
// reached in an open folder by its name alone.
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace win32 {

namespace {

// Written in place, unbuffered: a line is with the system when writeAt
// returns, and the system writes it even if the process is killed.
class Win32RecordFile : public RecordFile {
public:
    explicit Win32RecordFile(Handle file) : file_(std::move(file)) {}

    bool writeAt(std::uint64_t offset, std::string_view bytes) override {
        while (!bytes.empty()) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
            if (!WriteFile(file_.get(), bytes.data(), want, &n, &at) || n == 0) return false;
            bytes.remove_prefix(n);
            offset += n;
        }
        return true;
    }
    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
        std::size_t got = 0;
        while (got < size) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - got, 1 << 20));
            // Reading at an offset past the end is no error, only the end.
            if (!ReadFile(file_.get(), buffer + got, want, &n, &at)) {
                if (GetLastError() == ERROR_HANDLE_EOF) break;
                return -1;
            }
            if (n == 0) break;
            got += n;
            offset += n;
        }
        return static_cast<long long>(got);
    }
    std::uint64_t size() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
    bool truncate(std::uint64_t size) override {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        return SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &end, sizeof end) != 0;
    }
    bool close() override { return file_.valid() && file_.close(); }

private:
    Handle file_;
};

class Win32InputFile : public InputFile {
public:
    explicit Win32InputFile(Handle file) : file_(std::move(file)) {}

    long long read(char* buffer, std::size_t size) override {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
        if (!ReadFile(file_.get(), buffer, want, &n, nullptr)) return -1;
        return n;
    }
    bool rewind() override { return seek(0); }
    std::uint64_t size() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }
    bool seek(std::uint64_t offset) override {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) != 0;
    }

private:
    Handle file_;
};

}  // namespace

}  // namespace win32

std::unique_ptr<RecordFile> Win32System::createRecordFile(const std::u16string& path) {
    // CREATE_NEW refuses every existing name; FILE_FLAG_OPEN_REPARSE_POINT
    // keeps a link at the name from being followed. A device name ("NUL",
    // "CON") opens the device instead of creating a file: refused.
    // Read access too: a record is read back where it is marked.
    win32::Handle file(CreateFileW(win32::filePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return nullptr;
    return std::make_unique<win32::Win32RecordFile>(std::move(file));
}

std::unique_ptr<InputFile> Win32System::openInputFile(const std::u16string& path) {
    win32::Handle file(CreateFileW(win32::filePath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    win32::FileInfo info;
    if (!file.valid() || !win32::isRegular(file.get(), info, false)) return nullptr;
    return std::make_unique<win32::Win32InputFile>(std::move(file));
}

namespace {

const win32::Win32Folder& folderOf(OpenFolder& folder) { return static_cast<win32::Win32Folder&>(folder); }

// A regular file in the folder, the name itself (a link is not followed);
// invalid for anything else.
win32::Handle openRegularIn(OpenFolder& folder, NativeNameView name, DWORD access, DWORD sharing) {
    win32::Handle file(CreateFileW(win32::filePath(folderOf(folder).pathOf(name)).c_str(), access, sharing, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    win32::FileInfo info;
    if (!file.valid() || !win32::isRegular(file.get(), info, true)) return win32::Handle();
    return file;
}

// The file or link `name` itself, opened to be removed or renamed; invalid
// for a folder. Folders are opened too (a link to a folder is one), but
// only so that a real one can be refused.
win32::Handle openToRemove(OpenFolder& folder, NativeNameView name) {
    win32::Handle file(CreateFileW(win32::filePath(folderOf(folder).pathOf(name)).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info))
        return win32::Handle();
    const DWORD attributes = info.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return win32::Handle();
    return file;
}

}  // namespace

std::unique_ptr<RecordFile> Win32System::createRecordIn(OpenFolder& folder, NativeNameView name) {
    // As createRecordFile: CREATE_NEW refuses whatever has the name, a link included.
    return createRecordFile(folderOf(folder).pathOf(name));
}

std::unique_ptr<InputFile> Win32System::openInputIn(OpenFolder& folder, NativeNameView name) {
    // Shared for everything: a record being read may be marked or set aside meanwhile.
    win32::Handle file = openRegularIn(folder, name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!file.valid()) return nullptr;
    return std::make_unique<win32::Win32InputFile>(std::move(file));
}

std::unique_ptr<RecordFile> Win32System::openRecordIn(OpenFolder& folder, NativeNameView name) {
    // Shared for reading only, as a record being written: no one else
    // writes to it, renames it or deletes it while it is marked.
    win32::Handle file = openRegularIn(folder, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
    if (!file.valid()) return nullptr;
    return std::make_unique<win32::Win32RecordFile>(std::move(file));
}

bool Win32System::removeFileIn(OpenFolder& folder, NativeNameView name) {
    // Through the handle of what was checked: the link itself goes, never
    // what it leads to.
    win32::Handle file = openToRemove(folder, name);
    return file.valid() && win32::removeNow(file.get()) && file.close();
}

bool Win32System::renameIn(OpenFolder& folder, NativeNameView from, NativeNameView to) {
    win32::Handle file = openToRemove(folder, from);
    return file.valid() && win32::renameOpen(file.get(), folderOf(folder).pathOf(to));
}

}  // namespace qm
