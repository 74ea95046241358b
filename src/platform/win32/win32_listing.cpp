// The file list: the regular files of one folder, filtered by the shared
// wildcard rules (not the system's, which also match short 8.3 names).
#include <windows.h>

#include "platform/wildcard.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

struct FindCloser {
    HANDLE handle;
    ~FindCloser() { FindClose(handle); }
};

// Whether a reparse point (a symbolic link, say) leads to a regular file. It
// is opened as the copy would open it, following the link, and asked.
bool leadsToRegularFile(const std::u16string& path) {
    HANDLE file = CreateFileW(win32::filePath(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(file);
    return regular;
}

}  // namespace

std::optional<std::vector<std::u16string>> Win32Platform::listFiles(const std::u16string& folder,
                                                                    const std::u16string& pattern) {
    // An empty folder text would otherwise mean the current folder, which
    // nobody chose.
    if (folder.empty()) return std::nullopt;
    std::u16string prefix = folder;
    if (prefix.back() != u'\\' && prefix.back() != u'/') prefix += u'\\';
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(win32::filePath(prefix + u'*').c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    std::vector<std::u16string> names;
    if (find == INVALID_HANDLE_VALUE) {
        // A drive root has no "." entry, so an empty one finds nothing at all.
        if (GetLastError() == ERROR_FILE_NOT_FOUND && folderExists(folder)) return names;
        return std::nullopt;
    }
    FindCloser closer{find};
    const bool usable = isUsablePattern(pattern);
    do {
        const DWORD attributes = data.dwFileAttributes;
        if (!usable || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) continue;
        std::u16string name = win32::fromWide(data.cFileName);
        if (!matchesPattern(name, pattern)) continue;
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !leadsToRegularFile(prefix + name)) continue;
        names.push_back(std::move(name));
    } while (FindNextFileW(find, &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    return names;
}

}  // namespace qm
