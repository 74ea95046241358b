// Taking the files of a run back, each acting on the file it checked.
//
// The file in the share is opened once, with delete access and shared for
// reading only (no one can write to, rename or delete it meanwhile); it is
// checked through that handle, and renamed back or marked for deletion
// through the same handle. A name that was made to lead elsewhere after it
// was opened changes nothing.
#include <windows.h>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

const win32::Win32Folder& folderOf(OpenFolder& folder) { return static_cast<win32::Win32Folder&>(folder); }

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The share's file, opened for taking back: the link itself when it is one
// (a copy never is; a moved link goes back as the link), never what it
// leads to.
win32::Handle openForTakingBack(const std::u16string& path, DWORD access) {
    return win32::Handle(CreateFileW(win32::filePath(path).c_str(), access | DELETE | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Checks the open file against what the record says; Done when it is that
// file: a regular file, or with `link` set, a symbolic link (known by its own
// identity) too, and then `link` tells which it is.
TakeBack check(const win32::Handle& file, const FileStamp& expected, win32::FileInfo& info, bool* link) {
    if (!file.valid()) {
        const DWORD why = GetLastError();
        return missing(why) ? TakeBack::Gone : why == ERROR_SHARING_VIOLATION ? TakeBack::Failed : TakeBack::Changed;
    }
    const win32::Itself kind = win32::whatIs(file.get(), info);
    if (!(kind == win32::Itself::Regular || (link && kind == win32::Itself::Link)) || info.stamp() != expected)
        return TakeBack::Changed;
    if (link) *link = kind == win32::Itself::Link;
    return TakeBack::Done;
}

class Win32Lock : public FolderLock {
public:
    explicit Win32Lock(win32::Handle handle) : handle_(std::move(handle)) {}

private:
    win32::Handle handle_;
};

}  // namespace

std::optional<FileStamp> Win32System::stampOf(OpenFolder& folder, NativeNameView name) {
    win32::Handle file(CreateFileW(win32::filePath(folderOf(folder).pathOf(name)).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    win32::FileInfo info;
    if (!file.valid() || win32::whatIs(file.get(), info) == win32::Itself::Other) return std::nullopt;
    return info.stamp();
}

TakeBack Win32System::moveBack(OpenFolder& share, NativeNameView name, OpenFolder& source,
                                 const FileStamp& expected) {
    const std::u16string target = folderOf(source).pathOf(name);
    win32::Handle file = openForTakingBack(folderOf(share).pathOf(name), GENERIC_READ);
    win32::FileInfo info;
    // A link the run moved goes back as the link.
    bool link = false;
    if (const TakeBack checked = check(file, expected, info, &link); checked != TakeBack::Done) return checked;
    if (win32::renameOpen(file.get(), target)) return TakeBack::Done;
    const DWORD why = GetLastError();
    if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) return TakeBack::NameTaken;
    if (why != ERROR_NOT_SAME_DEVICE) return TakeBack::Failed;
    if (link) {
        // Made anew in the source folder; the share's link, held since it
        // was checked, then goes through the same handle.
        win32::FileInfo made;
        if (!win32::remakeLink(file.get(), info, target, nullptr, made)) {
            const DWORD failed = GetLastError();
            return failed == ERROR_ALREADY_EXISTS || failed == ERROR_FILE_EXISTS ? TakeBack::NameTaken : TakeBack::Failed;
        }
        return win32::markForDeletion(file.get(), true) ? TakeBack::Done : TakeBack::CopiedBack;
    }
    // Another volume: copied back from this very handle, then this file goes.
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return TakeBack::Failed;
    const TransferResult copied = win32::copyOpen(file.get(), info, target, nullptr);
    if (copied.outcome != TransferOutcome::Copied)
        return GetFileAttributesW(win32::filePath(target).c_str()) != INVALID_FILE_ATTRIBUTES ? TakeBack::NameTaken
                                                                                          : TakeBack::Failed;
    return win32::markForDeletion(file.get(), true) ? TakeBack::Done : TakeBack::CopiedBack;
}

TakeBack Win32System::deleteCopy(OpenFolder& share, NativeNameView name, const FileStamp& expected,
                                   OpenFolder& source) {
    win32::Handle copy = openForTakingBack(folderOf(share).pathOf(name), GENERIC_READ);
    win32::FileInfo copyInfo;
    if (const TakeBack checked = check(copy, expected, copyInfo, nullptr); checked != TakeBack::Done) return checked;
    // A link in the source folder stood for the content it leads to, so it
    // is followed here as the copy followed it.
    win32::Handle original(CreateFileW(win32::filePath(folderOf(source).pathOf(name)).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    win32::FileInfo originalInfo;
    if (!original.valid() || !win32::isRegular(original.get(), originalInfo, false)) {
        // The copy itself, held without sharing for delete, cannot be opened
        // again through a linked folder: that is no second copy either.
        return GetLastError() == ERROR_SHARING_VIOLATION ? TakeBack::SameFile : TakeBack::SourceGone;
    }
    // Whatever path leads from the source folder to the copy itself (a
    // linked folder, a hard link), it is not a second copy.
    if (originalInfo.sameFileAs(copyInfo)) return TakeBack::SameFile;
    if (originalInfo.size() != copyInfo.size() || !win32::sameBytes(original.get(), copy.get())) return TakeBack::Differs;
    // Read-only copies keep their attribute: it has to go before the file can.
    if (copyInfo.info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = (copyInfo.info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(copy.get(), FileBasicInfo, &basic, sizeof basic);
    }
    return win32::markForDeletion(copy.get(), true) && copy.close() ? TakeBack::Done : TakeBack::Failed;
}

bool Win32System::removeFolderBelow(OpenFolder& parent, NativeNameView name) {
    // The folder itself, checked and removed through one handle. A junction
    // or link would go too, leaving what it leads to: not a share folder
    // the run made, so left alone. A folder that holds anything refuses
    // to be marked.
    const std::wstring path = win32::filePath(folderOf(parent).pathOf(name));
    win32::Handle folder(CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    // Asked by name as well, as when a folder is entered: Wine opens what a
    // host's link leads to even when asked for the link itself, and only
    // the name's attributes tell. The answer can only refuse more.
    const DWORD named = GetFileAttributesW(path.c_str());
    if (named == INVALID_FILE_ATTRIBUTES || (named & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
    return win32::markForDeletion(folder.get(), true) && folder.close();
}

std::unique_ptr<FolderLock> Win32System::lockFolder(OpenFolder& folder, bool exclusive) {
    // The folder opened once more, with sharing that makes the two kinds
    // exclude each other: a run asks to read and lets others read, an undo
    // asks to write; neither lets others write. So runs open side by side,
    // and an undo opens only while no run or other undo has it. The system
    // releases it with the process.
    const DWORD access = exclusive ? FILE_ADD_FILE : FILE_LIST_DIRECTORY;
    win32::Handle handle(CreateFileW(win32::filePath(folder.path()).c_str(), access | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return nullptr;
    return std::make_unique<Win32Lock>(std::move(handle));
}

}  // namespace qm
