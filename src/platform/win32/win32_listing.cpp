// Reading a folder: the names of its regular files, in one arena (the file
// list filters them with the shared wildcard rules, not the system's, which
// also match short 8.3 names), or those of a whole tree of folders; every
// entry of an open folder with its kind; a folder's version.
#include <windows.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

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

namespace {

// Whether `path` begins with `prefix`, letter case aside: Windows names
// differ by more than case, and the share folders' path as the user typed
// it may spell the import folder in other letters than its listing does.
bool beginsWith(const std::u16string& path, const std::u16string& prefix) {
    if (prefix.size() > path.size()) return false;
    const std::wstring a = win32::wide(std::u16string_view(path).substr(0, prefix.size())), b = win32::wide(prefix);
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// One folder of a tree walk, read while it is held open (without sharing
// for delete, as a run's folders are) together with every folder above it,
// so that a folder renamed or replaced by a link meanwhile leads nowhere
// else. Each folder below is entered only as itself: a junction or a
// symbolic link to a folder is counted, not followed.
struct TreeWalk {
    FolderNames& names;
    const std::u16string& skipping;
    std::uint64_t& linkedFolders;
    NativeName relative;  // of the folder in hand, with its trailing "\"; empty at the top

    bool walk(const win32::Win32Folder& here) {
        const std::u16string prefix = here.pathOf(NativeNameView());
        WIN32_FIND_DATAW data;
        HANDLE first = findFirst(prefix, data);
        if (first == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive root
        std::vector<NativeName> folders;
        {
            const FindHandle find(first);
            do {
                const NativeNameView name(reinterpret_cast<const char16_t*>(data.cFileName));
                if (name == u"." || name == u"..") continue;
                const DWORD attributes = data.dwFileAttributes;
                if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                        ++linkedFolders;
                    } else {
                        folders.emplace_back(name);
                    }
                    continue;
                }
                // What listFolder counts as a file, for the same reasons.
                if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) continue;
                if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !leadsToRegularFile(prefix + std::u16string(name)))
                    continue;
                NativeName file = relative;
                file += name;
                names.add(file);
            } while (FindNextFileW(find.get(), &data));
            if (GetLastError() != ERROR_NO_MORE_FILES) return false;
        }
        for (const NativeName& folder : folders) {
            const std::u16string path = here.pathOf(folder);
            if (!skipping.empty() && beginsWith(path, skipping)) continue;
            // Entered as itself, the folders above still held: one that
            // became a link since it was listed is refused, and counted.
            const auto below = win32::openWin32Folder(path, true, here.chain(), here.sharedRefusals());
            if (!below) {
                const DWORD now = GetFileAttributesW(win32::filePath(path).c_str());
                if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0) ++linkedFolders;
                continue;
            }
            const std::size_t at = relative.size();
            relative += folder;
            relative += u'\\';
            walk(*below);
            relative.resize(at);
        }
        return true;
    }
};

}  // namespace

bool Win32System::listTree(const std::u16string& folder, FolderNames& names, const std::u16string& skipping,
                           std::uint64_t& linkedFolders) {
    names.clear();
    if (folder.empty()) return false;
    // The folder the user chose, as for a run: a link on its path is followed.
    const auto top = win32::openWin32Folder(folder, false, {}, std::make_shared<win32::Refusals>());
    if (!top) return false;
    TreeWalk walk{names, skipping, linkedFolders, NativeName()};
    if (!walk.walk(*top)) {
        names.clear();
        return false;
    }
    return true;
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
