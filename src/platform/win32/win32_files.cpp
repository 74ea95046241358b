// Open folders, and the record of a run: written as the run goes, read back
// as a stream.
#include <windows.h>

#include <string>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace win32 {

Win32Folder::Win32Folder(std::u16string path, Handle handle, DWORD volume, Chain above)
    : OpenFolder(path), prefix_(std::move(path)), volume_(volume), chain_(std::move(above)) {
    if (!prefix_.empty() && prefix_.back() != u'\\' && prefix_.back() != u'/') prefix_ += u'\\';
    chain_.push_back(std::make_shared<const Handle>(std::move(handle)));
}

std::unique_ptr<Win32Folder> openWin32Folder(const std::u16string& path, bool refuseLinks, Win32Folder::Chain above) {
    // No FILE_SHARE_DELETE: while the run holds it, the folder cannot be
    // renamed, removed or replaced by a link.
    Handle folder(CreateFileW(filePath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (refuseLinks && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0))
        return nullptr;
    // Asked by name as well: some file systems (and Wine, for a POSIX
    // symbolic link) open what a link leads to even when asked for the link
    // itself, but still tell the name's attributes. The folder is held
    // without sharing for delete, so the name cannot have changed since.
    if (refuseLinks && (GetFileAttributesW(filePath(path).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return nullptr;
    return std::make_unique<Win32Folder>(path, std::move(folder), info.dwVolumeSerialNumber, std::move(above));
}

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

std::unique_ptr<OpenFolder> Win32System::openFolder(const std::u16string& path) {
    return win32::openWin32Folder(path, false, {});
}

std::unique_ptr<OpenFolder> Win32System::openFolderBelow(OpenFolder& base, std::u16string_view relative,
                                                           bool create) {
    const auto& from = static_cast<win32::Win32Folder&>(base);
    win32::Win32Folder::Chain chain = from.chain();
    std::u16string path = base.path();
    std::unique_ptr<win32::Win32Folder> current;
    for (std::size_t start = 0; start <= relative.size();) {
        std::size_t end = relative.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos) end = relative.size();
        const std::u16string_view part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (part == u"." || part == u"..") return nullptr;
        if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
        path += part;
        if (create) CreateDirectoryW(win32::filePath(path).c_str(), nullptr);  // one that exists is fine: the open decides
        if (current) chain = current->chain();
        current = win32::openWin32Folder(path, true, chain);
        if (!current) return nullptr;
    }
    if (current) return current;
    // Nothing below: the base itself, once more.
    return win32::openWin32Folder(base.path(), false, {});
}

std::unique_ptr<RecordFile> Win32System::createRecordFile(const std::u16string& path) {
    // CREATE_NEW refuses every existing name; FILE_FLAG_OPEN_REPARSE_POINT
    // keeps a link at the name from being followed. A device name ("NUL",
    // "CON") opens the device instead of creating a file: refused.
    win32::Handle file(CreateFileW(win32::filePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
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

bool Win32System::appendToFile(const std::u16string& path, std::string_view bytes) {
    // FILE_APPEND_DATA alone: every write goes to the end, whatever else
    // writes there.
    win32::Handle file(CreateFileW(win32::filePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    return win32::writeAll(file.get(), bytes.data(), static_cast<DWORD>(bytes.size())) && file.close();
}

}  // namespace qm
