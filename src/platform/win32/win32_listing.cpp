// Reading a folder: the names of its regular files, in one arena. The file
// list filters them with the shared wildcard rules (not the system's, which
// also match short 8.3 names).
#include <windows.h>

#include <memory>

#include "platform/win32/win32_files.h"
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

}  // namespace qm
