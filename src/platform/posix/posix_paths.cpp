// Existence checks, folder creation and deletion.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::u16string PosixSystem::absolutePath(const std::u16string& path) {
    if (path.empty()) return {};
    std::u16string whole = path;
    if (path.front() != u'/') {
        std::string here(256, '\0');
        while (!getcwd(here.data(), here.size())) {
            if (errno != ERANGE) return {};
            here.resize(here.size() * 2);
        }
        here.resize(here.find('\0'));
        whole = text::fromUtf8(here) + u'/' + path;
    }
    // Each part in turn: "" and "." add nothing, ".." takes one back (never
    // above the root).
    std::vector<std::u16string_view> parts;
    const std::u16string_view all(whole);
    for (std::size_t start = 0; start <= all.size();) {
        std::size_t end = all.find(u'/', start);
        if (end == std::u16string_view::npos) end = all.size();
        const std::u16string_view part = all.substr(start, end - start);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty()) return u"/";
    std::u16string normal;
    for (std::u16string_view part : parts) {
        normal += u'/';
        normal += part;
    }
    return normal;
}

bool PosixSystem::pathExists(const std::u16string& path) {
    // lstat: a dangling symbolic link still takes the name.
    struct stat st;
    return lstat(text::toUtf8(path).c_str(), &st) == 0;
}

bool PosixSystem::folderExists(const std::u16string& path) { return isDirectory(text::toUtf8(path)); }

bool PosixSystem::makeFolders(const std::u16string& pathEndingInSeparator) {
    const std::string path = text::toUtf8(pathEndingInSeparator);
    const std::size_t last = path.rfind('/');
    if (last == std::string::npos) return isDirectory(".");
    const std::string folder = last == 0 ? std::string("/") : path.substr(0, last);
    if (isDirectory(folder)) return true;

    // Top down, one mkdir per level. Failures along the way (mostly EEXIST)
    // are not decisive: whether the folder is there at the end is.
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        const bool levelEnds = i == folder.size() || folder[i] == '/';
        if (levelEnds && folder[i - 1] != '/') mkdir(folder.substr(0, i).c_str(), 0777);
    }
    return isDirectory(folder);
}

bool PosixSystem::deleteFile(const std::u16string& path) { return unlink(text::toUtf8(path).c_str()) == 0; }

System::PathState PosixSystem::pathState(const std::u16string& path, Use use) {
    const std::string name = text::toUtf8(path);
    struct stat st;
    if (name.empty()) return PathState::Missing;
    if (stat(name.c_str(), &st) != 0) {
        if (errno == ENOENT) return PathState::Missing;
        // A part of the path is a file: nothing can be made below it.
        if (errno == ENOTDIR) return PathState::NotAFolder;
        return errno == EACCES ? PathState::NoPermission : PathState::Unusable;
    }
    const bool wantFolder = use != Use::ReadFile;
    if (wantFolder && !S_ISDIR(st.st_mode)) return PathState::NotAFolder;
    if (!wantFolder && !S_ISREG(st.st_mode)) return PathState::NotAFile;
    // The effective user's rights, as the run will have them; a folder is
    // read by listing it (r) and entering it (x), written by adding names.
    const int mode = use == Use::ReadFile ? R_OK : use == Use::ReadFolder ? R_OK | X_OK : W_OK | X_OK;
    if (faccessat(AT_FDCWD, name.c_str(), mode, AT_EACCESS) != 0) {
        if (errno == EROFS) return PathState::ReadOnly;
        return errno == EACCES || errno == EPERM ? PathState::NoPermission : PathState::Unusable;
    }
    return PathState::Usable;
}

}  // namespace qm
