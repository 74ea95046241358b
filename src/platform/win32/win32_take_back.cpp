// Holding the files of a run to take them back, each act on the file held.
//
// The share's file is opened once, with delete access and shared for
// reading only (no one can write to, rename or delete it meanwhile); it is
// checked through that handle, copied or compared from it, and renamed back
// or marked for deletion through the same handle. A name that was made to
// lead elsewhere after it was opened changes nothing.
#include <windows.h>

#include "platform/win32/win32_copy.h"
#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_links.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

const win32::Win32Folder& folderOf(OpenFolder& folder) { return static_cast<win32::Win32Folder&>(folder); }

bool missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }
bool taken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

// The attributes a file keeps when only its read-only flag changes: those
// that FileBasicInfo sets. The others (reparse point, compressed, ...) say
// how it is stored, and cannot be set that way.
constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool setAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // times of 0: left as they are
    attributes &= kSettable;
    // 0 would mean "leave them": the read-only flag would stay.
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// A file (or the link itself) held open. The share's file is held with
// DELETE and FILE_WRITE_ATTRIBUTES (to clear a read-only flag before it
// goes), shared for reading only. What a source name leads to is held only
// to be read, shared as any reader shares it, as a copy's source is: a
// program that has it open for writing does not make it look like the copy
// itself. Should such a file be moved or removed, delete access comes from
// the same handle (ReOpenFile), never from the name again.
class Win32HeldFile : public HeldFile {
public:
    Win32HeldFile(win32::Handle file, const win32::FileInfo& info, EntryKind kind, bool deletable)
        : file_(std::move(file)), info_(info), stamp_(info.stamp()), kind_(kind), deletable_(deletable) {}

    const FileStamp& stamp() const override { return stamp_; }
    EntryKind kind() const override { return kind_; }

    Moved moveTo(OpenFolder& folder, NativeNameView name) override {
        const HANDLE file = withDelete();
        if (!file) return Moved::Failed;
        if (win32::renameOpen(file, folderOf(folder).pathOf(name))) return Moved::Done;
        const DWORD why = GetLastError();
        if (taken(why)) return Moved::Taken;
        return why == ERROR_NOT_SAME_DEVICE ? Moved::OtherVolume : Moved::Failed;
    }

    Moved copyTo(OpenFolder& folder, NativeNameView name) override {
        auto& to = static_cast<win32::Win32Folder&>(folder);
        const std::u16string target = to.pathOf(name);
        if (kind_ == EntryKind::Link) {
            // A link goes back as a link, made anew with the held link's
            // target and times.
            win32::FileInfo made;
            if (win32::remakeLink(file_.get(), info_, target, nullptr, made)) return Moved::Done;
            return taken(GetLastError()) ? Moved::Taken : Moved::Failed;
        }
        if (!rewind()) return Moved::Failed;
        const TransferResult copied = win32::copyOpen(file_.get(), info_, to, name, nullptr);
        if (copied.outcome == TransferOutcome::Copied) return Moved::Done;
        return GetFileAttributesW(win32::filePath(target).c_str()) != INVALID_FILE_ATTRIBUTES ? Moved::Taken
                                                                                              : Moved::Failed;
    }

    bool sameBytes(HeldFile& other) override {
        auto& that = static_cast<Win32HeldFile&>(other);
        return rewind() && that.rewind() && win32::sameBytes(file_.get(), that.file_.get());
    }

    TakeBack remove() override {
        const HANDLE file = withDelete();
        win32::FileInfo now;
        if (!file || !GetFileInformationByHandle(file, &now.info)) return TakeBack::Failed;
        // Its times can be set by anyone who may write its attributes,
        // whatever the sharing: a file touched since it was held stays.
        if (now.stamp() != stamp_) return TakeBack::Changed;
        // A read-only file refuses to be marked: the flag, which a copy
        // took over from its source, goes first, and comes back when the
        // file stays after all.
        const DWORD attributes = now.info.dwFileAttributes;
        const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (readOnly && !setAttributes(file, attributes & ~FILE_ATTRIBUTE_READONLY)) return TakeBack::Failed;
        if (!win32::markForDeletion(file, true)) {
            if (readOnly) setAttributes(file, attributes);
            return TakeBack::Failed;
        }
        // The name goes as the last handle closes.
        const bool closed = (!deleter_.valid() || deleter_.close()) && file_.close();
        return closed ? TakeBack::Done : TakeBack::Failed;
    }

private:
    bool rewind() {
        LARGE_INTEGER start{};
        return SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) != 0;
    }

    // A handle of the held file with delete access; nullptr when none can be had.
    HANDLE withDelete() {
        if (deletable_) return file_.get();
        if (!deleter_.valid())
            deleter_ = win32::Handle(ReOpenFile(file_.get(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
        return deleter_.valid() ? deleter_.get() : nullptr;
    }

    win32::Handle file_;
    win32::FileInfo info_;
    FileStamp stamp_;
    EntryKind kind_;
    bool deletable_;
    win32::Handle deleter_;
};

// A hold like a folder's own: the lock gives way when its folder is removed.
class Win32Lock : public FolderLock {
public:
    Win32Lock(win32::Handle handle, DWORD access, DWORD sharing, DWORD flags)
        : hold_(std::move(handle), access, sharing, flags) {}

private:
    win32::FolderHold hold_;
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

HeldResult Win32System::holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) {
    const DWORD access = followLinks ? GENERIC_READ : GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES;
    const DWORD sharing = followLinks ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    const DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    win32::Handle file(CreateFileW(win32::filePath(folderOf(folder).pathOf(name)).c_str(), access | FILE_READ_ATTRIBUTES,
                                   sharing, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!file.valid()) {
        const DWORD why = GetLastError();
        if (missing(why)) return {HeldResult::Status::Gone, nullptr};
        // Another program holds it without sharing it for reading, or this
        // undo does: the share's copy, reached again through a linked
        // folder, where the system refuses to open the held file twice.
        if (why == ERROR_SHARING_VIOLATION) return {HeldResult::Status::InUse, nullptr};
        // A folder (which opens only with backup semantics) or anything
        // else that cannot be opened as a file.
        return {HeldResult::Status::Other, nullptr};
    }
    win32::FileInfo info;
    EntryKind kind = EntryKind::Other;
    if (followLinks) {
        if (win32::isRegular(file.get(), info, false)) kind = EntryKind::File;
    } else {
        const win32::Itself itself = win32::whatIs(file.get(), info);
        if (itself == win32::Itself::Regular) kind = EntryKind::File;
        if (itself == win32::Itself::Link) kind = EntryKind::Link;
    }
    if (kind == EntryKind::Other) return {HeldResult::Status::Other, nullptr};
    return {HeldResult::Status::Held, std::make_unique<Win32HeldFile>(std::move(file), info, kind, !followLinks)};
}

bool Win32System::removeFolderBelow(OpenFolder& parent, NativeNameView name) {
    // The folder itself, opened to be checked, taking nothing from anyone,
    // and removed through this handle (see removeEmptyFolder). A junction or
    // link would go too, leaving what it leads to: not a share folder the
    // run made, so left alone.
    const std::wstring path = win32::filePath(folderOf(parent).pathOf(name));
    win32::Handle folder(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE,
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
    return win32::removeEmptyFolder(folder.get());
}

std::unique_ptr<FolderLock> Win32System::lockFolder(OpenFolder& folder, bool exclusive) {
    // The folder opened once more, with sharing that makes the two kinds
    // exclude each other: a run asks to read and lets others read, an undo
    // asks to write; neither lets others write. So runs open side by side,
    // and an undo opens only while no run or other undo has it. The system
    // releases it with the process.
    // Opened from the folder's own handle: the very folder held is locked.
    const DWORD access = (exclusive ? FILE_ADD_FILE : FILE_LIST_DIRECTORY) | SYNCHRONIZE;
    constexpr DWORD sharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
    constexpr DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    win32::Handle handle(ReOpenFile(folderOf(folder).handle(), access, sharing, flags));
    if (!handle.valid()) return nullptr;
    return std::make_unique<Win32Lock>(std::move(handle), access, sharing, flags);
}

}  // namespace qm
