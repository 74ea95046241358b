// Reading a folder: the names of its regular files, as stored, in one arena.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

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

// How much room the names of a folder will need, from the folder's own
// size. Most file systems count a folder's size in the records that hold
// its names, a few bytes more than each name, so it is enough as it stands;
// tmpfs counts 20 bytes a name, so there the count is what it tells, and
// the room is for names of up to 64 bytes (longer ones still fit, by
// growing).
void reserveFor(int dirFd, FolderNames& names) {
    struct stat st;
    if (fstat(dirFd, &st) != 0 || st.st_size <= 0) return;
    auto units = static_cast<std::size_t>(st.st_size);
    std::size_t count = units / 12;
#if defined(__linux__)
    constexpr long kTmpfs = 0x01021994;
    struct statfs fs;
    if (fstatfs(dirFd, &fs) == 0 && fs.f_type == kTmpfs) {
        count = units / 20;
        units = count * 64;
    }
#endif
    names.reserve(units, count);
}

}  // namespace

bool PosixSystem::listFolder(const std::u16string& folder, FolderNames& names) {
    names.clear();
    Dir dir = openDir(folder);
    if (!dir) return false;
    const int dirFd = dirfd(dir.get());
    reserveFor(dirFd, names);
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
