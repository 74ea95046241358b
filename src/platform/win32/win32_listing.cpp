// Reading a folder: the names of its regular files, in one arena (the file
// list filters them with the shared wildcard rules, not the system's, which
// also match short 8.3 names); every entry of an open folder with its kind;
// a folder's version.
#include <windows.h>

#include <cwchar>
#include <memory>

#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

// A search handle, closed with FindClose when it goes.
struct FindClose_ {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindClose_>;

// Whether a reparse point (a symbolic link, say) leads to a regular file. It
// is opened as the copy would open it, following the link, and asked.
bool leadsToRegularFile(const std::u16string& path) {
    const win32::Handle file(CreateFileW(win32::filePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return file.valid() && GetFileType(file.get()) == FILE_TYPE_DISK && GetFileInformationByHandle(file.get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

namespace {

// The first entry of a folder; invalid (with the reason in GetLastError) when
// the folder cannot be read. A drive root has no "." entry, so an empty one
// finds nothing at all: ERROR_FILE_NOT_FOUND.
HANDLE findFirst(const std::u16string& prefix, WIN32_FIND_DATAW& data) {
    return FindFirstFileExW(win32::filePath(prefix + u'*').c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                            nullptr, FIND_FIRST_EX_LARGE_FETCH);
}

std::u16string withSeparator(const std::u16string& folder) {
    return folder.back() == u'\\' || folder.back() == u'/' ? folder : folder + u'\\';
}

}  // namespace

bool Win32System::listFolder(const std::u16string& folder, FolderNames& names) {
    names.clear();
    // An empty folder text would otherwise mean the current folder, which
    // nobody chose.
    if (folder.empty()) return false;
    const std::u16string prefix = withSeparator(folder);
    WIN32_FIND_DATAW data;
    HANDLE first = findFirst(prefix, data);
    if (first == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND && folderExists(folder);
    const FindHandle find(first);
    do {
        const DWORD attributes = data.dwFileAttributes;
        if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) continue;
        const NativeNameView name(reinterpret_cast<const char16_t*>(data.cFileName));
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !leadsToRegularFile(prefix + std::u16string(name)))
            continue;
        names.add(name);
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() == ERROR_NO_MORE_FILES) return true;
    names.clear();
    return false;
}

bool Win32System::canListFolder(const std::u16string& folder) {
    if (folder.empty()) return false;
    WIN32_FIND_DATAW data;
    HANDLE find = findFirst(withSeparator(folder), data);
    if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND && folderExists(folder);
    FindClose(find);
    return true;
}

namespace {

// What an entry is, by the attributes its folder tells. Any reparse point is
// a link, whatever it leads to: a symbolic link, a junction, a mount point.
EntryKind kindOf(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::Link;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::Folder;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::Other;
    return EntryKind::File;
}

// File systems that stamp a folder with the time of every change to its
// names, to the 100 ns tick, and keep it: NTFS and ReFS (FAT stamps
// folders when they are made, and hardly after). A folder on another
// machine is left out whatever the file system there: the redirector
// caches what it tells of a folder for seconds, so a change may not show.
bool keepsFolderTimes(HANDLE folder) {
    FILE_REMOTE_PROTOCOL_INFO remote{};
    if (GetFileInformationByHandleEx(folder, FileRemoteProtocolInfo, &remote, sizeof remote)) return false;
    wchar_t system[MAX_PATH + 1];
    if (!GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, nullptr, system, MAX_PATH + 1))
        return false;
    return _wcsicmp(system, L"NTFS") == 0 || _wcsicmp(system, L"ReFS") == 0;
}

FileTime timeOf(const LARGE_INTEGER& time) {
    return win32::timeOf(FILETIME{time.LowPart, static_cast<DWORD>(time.HighPart)});
}

}  // namespace

bool Win32System::forEachEntry(OpenFolder& folder, const std::function<bool(NativeNameView, EntryKind)>& visit) {
    // The folder's own path: held open without sharing for delete, it
    // leads to the same folder while the handle is there.
    WIN32_FIND_DATAW data;
    HANDLE first = findFirst(static_cast<win32::Win32Folder&>(folder).pathOf(NativeNameView()), data);
    if (first == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
    const FindHandle find(first);
    do {
        const NativeNameView name(reinterpret_cast<const char16_t*>(data.cFileName));
        if (name == u"." || name == u"..") continue;
        if (!visit(name, kindOf(data.dwFileAttributes))) return true;
    } while (FindNextFileW(find.get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

std::optional<FolderVersion> Win32System::folderVersion(const std::u16string& path) {
    if (path.empty()) return std::nullopt;
    const win32::Handle folder(CreateFileW(win32::filePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    win32::FileInfo info;
    FILE_BASIC_INFO basic{};
    if (!folder.valid() || !GetFileInformationByHandle(folder.get(), &info.info) ||
        (info.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        !GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic, sizeof basic) ||
        !keepsFolderTimes(folder.get()))
        return std::nullopt;
    // Both times, as on every system: the last-write time moves with the
    // folder's names, the change time with anything written of the folder.
    return FolderVersion{info.id(), timeOf(basic.LastWriteTime), timeOf(basic.ChangeTime)};
}

}  // namespace qm
