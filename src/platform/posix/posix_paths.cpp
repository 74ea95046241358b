// Existence checks, folder creation and deletion.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool PosixPlatform::pathExists(const std::u16string& path) {
    // lstat: a dangling symbolic link still takes the name.
    struct stat st;
    return lstat(text::toUtf8(path).c_str(), &st) == 0;
}

bool PosixPlatform::folderExists(const std::u16string& path) { return isDirectory(text::toUtf8(path)); }

bool PosixPlatform::makeFolders(const std::u16string& pathEndingInSeparator) {
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

bool PosixPlatform::deleteFile(const std::u16string& path) { return unlink(text::toUtf8(path).c_str()) == 0; }

}  // namespace qm
