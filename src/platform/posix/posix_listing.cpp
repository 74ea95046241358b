// Reading a folder: the names of its regular files, as stored, in one arena.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// An empty folder text would otherwise mean the current directory, which
// nobody chose.
Dir openDir(const std::u16string& folder) {
    if (folder.empty()) return nullptr;
    return Dir(opendir(text::toUtf8(folder).c_str()));
}

// Whether an entry is a regular file, following symbolic links. d_type answers
// for nearly every entry without a system call; links and file systems that
// leave the type unknown need a stat.
bool isRegularFile(int dirFd, const dirent& entry) {
    if (entry.d_type == DT_REG) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool PosixSystem::listFolder(const std::u16string& folder, FolderNames& names) {
    names.clear();
    Dir dir = openDir(folder);
    if (!dir) return false;
    const int dirFd = dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) break;
        if (isRegularFile(dirFd, *entry)) names.add(entry->d_name);
    }
    if (errno != 0) {
        names.clear();
        return false;
    }
    return true;
}

bool PosixSystem::canListFolder(const std::u16string& folder) {
    Dir dir = openDir(folder);
    if (!dir) return false;
    errno = 0;
    return readdir(dir.get()) != nullptr || errno == 0;
}

}  // namespace qm
