// The file list: the regular files of one folder, filtered.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/posix/posix_platform.h"
#include "platform/wildcard.h"
#include "text/utf.h"

namespace qm {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

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

std::optional<std::vector<std::u16string>> PosixPlatform::listFiles(const std::u16string& folder,
                                                                    const std::u16string& pattern) {
    // An empty folder text would otherwise mean the current directory, which
    // nobody chose.
    if (folder.empty()) return std::nullopt;
    std::unique_ptr<DIR, DirCloser> dir(opendir(text::toUtf8(folder).c_str()));
    if (!dir) return std::nullopt;
    std::vector<std::u16string> names;
    if (!isUsablePattern(pattern)) return names;

    const int dirFd = dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0) return std::nullopt;
            break;
        }
        std::string_view bytes(entry->d_name);
        if (bytes == "." || bytes == "..") continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
        std::u16string name = text::fromUtf8(bytes);
        if (!matchesPattern(name, pattern) || !isRegularFile(dirFd, *entry)) continue;
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace qm
