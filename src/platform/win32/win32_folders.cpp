// Open folders and the small things every file call of the Windows side
// shares: what a handle is, renaming and removing through a handle, hidden
// names beside a file's destination, the holds of the process on folders,
// which folder an open folder is.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm {

namespace win32 {

bool isRegular(HANDLE file, FileInfo& out, bool linkItselfRefused) {
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &out.info)) return false;
    DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
    if (linkItselfRefused) refused |= FILE_ATTRIBUTE_REPARSE_POINT;
    return (out.info.dwFileAttributes & refused) == 0;
}

Itself whatIs(HANDLE file, FileInfo& info) {
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info.info)) return Itself::Other;
    const DWORD attributes = info.info.dwFileAttributes;
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return Itself::Other;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return Itself::Regular;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) &&
                   tag.ReparseTag == IO_REPARSE_TAG_SYMLINK
               ? Itself::Link
               : Itself::Other;
}

bool markForDeletion(HANDLE file, bool mark) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = mark ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool renameOpen(HANDLE file, const std::u16string& target) {
    const std::wstring name = wide(target);
    std::vector<char> record(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(record.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, name.data(), name.size() * sizeof(wchar_t));
    return SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(record.size())) != 0;
}

namespace {

std::u16string folderOf(const std::u16string& path) {
    const std::size_t separator = path.find_last_of(u"\\/");
    return separator == std::u16string::npos ? std::u16string() : path.substr(0, separator + 1);
}

}  // namespace

std::u16string temporaryNameBeside(const std::u16string& target) {
    static std::atomic<unsigned> counter{0};
    return folderOf(target) + u".quillmarsh-" + text::decimal(GetCurrentProcessId()) + u"-" +
           text::decimal(counter++) + u".part";
}

void removeTemporary(const std::wstring& temporary) {
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only file cannot be deleted
    DeleteFileW(temporary.c_str());
}

bool removeNow(HANDLE file) {
    constexpr auto kDispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);  // FileDispositionInfoEx
    constexpr DWORD kDelete = 0x1, kPosixSemantics = 0x2;
    struct {
        DWORD flags;
    } disposition{kDelete | kPosixSemantics};
    return SetFileInformationByHandle(file, kDispositionEx, &disposition, sizeof disposition) ||
           markForDeletion(file, true);
}

namespace {

// Every hold of the process, to be found by the folder it is on. Holds are
// made and dropped on any thread; they give way on the one that runs the
// window model, which is also the one that uses their handles.
std::mutex& holdsLock() {
    static std::mutex lock;
    return lock;
}
std::vector<FolderHold*>& holds() {
    static std::vector<FolderHold*> all;
    return all;
}

}  // namespace

FolderHold::FolderHold(Handle handle, DWORD access, DWORD sharing, DWORD flags)
    : handle_(std::move(handle)), access_(access), sharing_(sharing), flags_(flags) {
    FileInfo info;
    if (handle_.valid() && GetFileInformationByHandle(handle_.get(), &info.info)) id_ = info.id();
    const std::lock_guard lock(holdsLock());
    holds().push_back(this);
}

FolderHold::~FolderHold() {
    const std::lock_guard lock(holdsLock());
    std::erase(holds(), this);
}

HANDLE FolderHold::get() const {
    const std::lock_guard lock(holdsLock());
    return handle_.get();
}

bool removeEmptyFolder(HANDLE folder) {
    FileInfo info;
    if (!GetFileInformationByHandle(folder, &info.info)) return false;
    const std::lock_guard lock(holdsLock());
    std::vector<FolderHold*> aside;
    for (FolderHold* hold : holds()) {
        if (hold->handle_.valid() && hold->id_ == info.id()) {
            hold->handle_.close();
            aside.push_back(hold);
        }
    }
    // Reached through the handle it was checked on, never by its name
    // again. Not shared for delete while it is removed: no one renames it
    // meanwhile. A folder that holds anything refuses the mark.
    Handle removing(ReOpenFile(folder, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
    if (removing.valid() && removeNow(removing.get()) && removing.close()) return true;
    removing.close();  // before the holds come back, which do not share for delete
    for (FolderHold* hold : aside) hold->handle_ = Handle(ReOpenFile(folder, hold->access_, hold->sharing_, hold->flags_));
    return false;
}

Refused refusedFor(DWORD error) {
    switch (error) {
        // The file system has no such call, or not for this kind of file.
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
        // Asked for a file this process made with write access: the file
        // system (or a filter on it) will not, whoever asks.
        case ERROR_ACCESS_DENIED:
            return Refused::EveryFile;
        // What FAT answers for a time it cannot hold, and some redirectors
        // for a call they do not know: it may be this file's time only, so
        // the next file is asked again.
        case ERROR_INVALID_PARAMETER:
            return Refused::ThisFile;
        default:
            return Refused::No;
    }
}

Win32Folder::Win32Folder(std::u16string path, std::shared_ptr<const FolderHold> hold, DWORD volume, Chain above,
                         std::shared_ptr<Refusals> refusals)
    : OpenFolder(path), prefix_(std::move(path)), volume_(volume), chain_(std::move(above)),
      refusals_(std::move(refusals)) {
    if (!prefix_.empty() && prefix_.back() != u'\\' && prefix_.back() != u'/') prefix_ += u'\\';
    chain_.push_back(std::move(hold));
}

bool Win32Folder::clonesBlocks() const {
    int known = clones_.load(std::memory_order_relaxed);
    if (known == kUnasked) {
        constexpr DWORD kBlockRefcounting = 0x08000000;  // FILE_SUPPORTS_BLOCK_REFCOUNTING
        DWORD flags = 0;
        const bool asked = GetVolumeInformationByHandleW(handle(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
        known = asked && (flags & kBlockRefcounting) != 0 ? kClones : kCannot;
        clones_.store(known, std::memory_order_relaxed);
    }
    return known == kClones;
}

std::unique_ptr<Win32Folder> openWin32Folder(const std::u16string& path, bool refuseLinks, Win32Folder::Chain above,
                                             std::shared_ptr<Refusals> refusals) {
    // No FILE_SHARE_DELETE: while the run holds it, the folder cannot be
    // renamed, removed or replaced by a link.
    constexpr DWORD access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    Handle folder(CreateFileW(filePath(path).c_str(), access, sharing, nullptr, OPEN_EXISTING, flags, nullptr));
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
    return std::make_unique<Win32Folder>(path, std::make_shared<const FolderHold>(std::move(folder), access, sharing, flags),
                                         info.dwVolumeSerialNumber, std::move(above), std::move(refusals));
}

}  // namespace win32

std::unique_ptr<OpenFolder> Win32System::openFolder(const std::u16string& path) {
    auto refusals = std::make_shared<win32::Refusals>();
    refusals->simulated = simulateRefusals_;
    return win32::openWin32Folder(path, false, {}, std::move(refusals));
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
        // Below a folder lies its file system (the share folders of a run
        // below the folder that holds them): what it refused is not asked again.
        current = win32::openWin32Folder(path, true, chain, from.sharedRefusals());
        if (!current) return nullptr;
    }
    if (current) return current;
    // Nothing below: the base itself, once more.
    return win32::openWin32Folder(base.path(), false, {}, from.sharedRefusals());
}

std::optional<FileId> Win32System::identityOf(OpenFolder& folder) {
    win32::FileInfo info;
    if (!GetFileInformationByHandle(static_cast<win32::Win32Folder&>(folder).handle(), &info.info)) return std::nullopt;
    return info.id();
}

}  // namespace qm
