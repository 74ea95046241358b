// Paths, existence checks, folder creation and deletion.
#include <windows.h>

#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

DWORD attributesOf(const std::u16string& path) { return GetFileAttributesW(win32::filePath(path).c_str()); }

// Where the folders of a path begin: after "X:\" or after "\\server\share\".
std::size_t firstFolderAt(const std::u16string& path) {
    if (path.size() >= 3 && path[1] == u':' && isSeparator(path[2])) return 3;
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        std::size_t at = 2;
        for (int part = 0; part < 2 && at != std::u16string::npos; ++part) {
            at = path.find_first_of(u"\\/", at);
            if (at != std::u16string::npos) ++at;
        }
        return at == std::u16string::npos ? path.size() : at;
    }
    return 0;
}

}  // namespace

PathStyle Win32System::pathStyle() const { return PathStyle{u'\\', true}; }

std::u16string Win32System::absolutePath(const std::u16string& path) {
    if (path.empty()) return {};
    const std::wstring name = win32::wide(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return {};
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    // GetFullPathNameW resolves "." and "..", turns "/" into "\" and folds
    // doubled separators in drive paths, but not after a network path's
    // share; the text is finished here the same way for both.
    std::u16string normal;
    normal.reserve(full.size());
    for (std::size_t i = 0; i < full.size(); ++i) {
        const char16_t c = full[i] == L'/' ? u'\\' : static_cast<char16_t>(full[i]);
        if (c == u'\\' && i >= 2 && !normal.empty() && normal.back() == u'\\') continue;
        normal.push_back(c);
    }
    // No trailing separator but a drive root's ("C:\").
    while (normal.size() > 3 && normal.back() == u'\\') normal.pop_back();
    return normal;
}

bool Win32System::pathExists(const std::u16string& path) {
    // GetFileAttributesW does not follow a symbolic link: a dangling one
    // still takes the name.
    return !path.empty() && attributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool Win32System::folderExists(const std::u16string& path) {
    if (path.empty()) return false;
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32System::makeFolders(const std::u16string& pathEndingInSeparator) {
    const std::u16string& path = pathEndingInSeparator;
    const std::size_t last = path.find_last_of(u"\\/");
    if (last == std::u16string::npos) return false;
    const std::u16string folder = path.substr(0, last + 1);
    if (folderExists(folder)) return true;
    // Top down, one CreateDirectoryW per level. Failures along the way
    // (mostly levels that are there already) are not decisive: whether the
    // folder is there at the end is.
    for (std::size_t i = firstFolderAt(folder); i < folder.size(); ++i) {
        if (isSeparator(folder[i]) && i > 0 && !isSeparator(folder[i - 1])) {
            CreateDirectoryW(win32::filePath(folder.substr(0, i)).c_str(), nullptr);
        }
    }
    return folderExists(folder);
}

bool Win32System::deleteFile(const std::u16string& path) {
    return DeleteFileW(win32::filePath(path).c_str()) != 0;
}

System::PathState Win32System::pathState(const std::u16string& path, Use use) {
    if (path.empty()) return PathState::Missing;
    auto why = [](DWORD error) {
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_BAD_NETPATH:
            case ERROR_BAD_NET_NAME:
            case ERROR_INVALID_NAME:
                return PathState::Missing;
            case ERROR_DIRECTORY:  // a part of the path is a file
                return PathState::NotAFolder;
            case ERROR_ACCESS_DENIED:
                return PathState::NoPermission;
            case ERROR_WRITE_PROTECT:
                return PathState::ReadOnly;
            default:
                return PathState::Unusable;
        }
    };
    const DWORD attributes = attributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return why(GetLastError());
    const bool wantFolder = use != Use::ReadFile;
    if (wantFolder != ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0))
        return wantFolder ? PathState::NotAFolder : PathState::NotAFile;
    // The folder's or file's own access check, by opening it for what the
    // run will do: listing a folder, adding files and folders to it, reading
    // a file. Nothing is made.
    const DWORD access = use == Use::ReadFile     ? GENERIC_READ
                         : use == Use::ReadFolder ? FILE_LIST_DIRECTORY
                                                  : FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
    const HANDLE handle = CreateFileW(win32::filePath(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return why(GetLastError());
    CloseHandle(handle);
    if (use == Use::WriteFolder) {
        // A read-only volume grants the rights and refuses the writes.
        wchar_t root[MAX_PATH + 1];
        DWORD flags = 0;
        if (GetVolumePathNameW(win32::filePath(path).c_str(), root, MAX_PATH) &&
            GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
            (flags & FILE_READ_ONLY_VOLUME) != 0)
            return PathState::ReadOnly;
    }
    return PathState::Usable;
}

}  // namespace qm
