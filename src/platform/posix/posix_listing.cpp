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
#include <vector>

#include "platform/posix/posix_folders.h"
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

EntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::File;
    if (S_ISDIR(mode)) return EntryKind::Folder;
    if (S_ISLNK(mode)) return EntryKind::Link;
    return EntryKind::Other;
}

// File systems that stamp a folder with the time of every change to its
// names, to the nanosecond or nearly, and keep it: local ones. Network and
// FUSE file systems may cache a folder's times or not keep them at all, so
// they are always read again.
bool keepsFolderTimes(int fd) {
#if defined(__linux__)
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
        case 0x01021994:  // tmpfs
        case 0xF2F52010:  // f2fs
        case 0x2FC12FC1:  // zfs
            return true;
        default:
            return false;
    }
#else
    (void)fd;
    return false;
#endif
}

}  // namespace

bool PosixSystem::forEachEntry(OpenFolder& folder, const std::function<bool(NativeNameView, EntryKind)>& visit) {
    // A descriptor of its own: reading a folder moves its position, and the
    // folder's own descriptor may be in use on another thread.
    posix::Fd fd(openat(static_cast<posix::PosixFolder&>(folder).fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return false;
    const int dirFd = fd.get();
    Dir dir(fdopendir(dirFd));
    if (!dir) return false;
    fd.release();  // the stream owns it now
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) return errno == 0;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        EntryKind kind;
        switch (entry->d_type) {
            case DT_REG: kind = EntryKind::File; break;
            case DT_DIR: kind = EntryKind::Folder; break;
            case DT_LNK: kind = EntryKind::Link; break;
            case DT_UNKNOWN: {
                struct stat st;
                kind = fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? kindOf(st.st_mode) : EntryKind::Other;
                break;
            }
            default: kind = EntryKind::Other;
        }
        if (!visit(name, kind)) return true;
    }
}

std::optional<FolderVersion> PosixSystem::folderVersion(const std::u16string& path) {
    if (path.empty()) return std::nullopt;
    const posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !keepsFolderTimes(fd.get())) return std::nullopt;
    const FileTime modified{static_cast<std::int64_t>(st.st_mtim.tv_sec), static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
    const FileTime changed{static_cast<std::int64_t>(st.st_ctim.tv_sec), static_cast<std::uint32_t>(st.st_ctim.tv_nsec)};
    return FolderVersion{posix::idOf(st), modified, changed};
}

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

namespace {

// One folder of a tree walk, read from its open descriptor; the folders in
// it are walked the same way, each opened from this one without following
// a link, so that a folder renamed or replaced by a link meanwhile leads
// nowhere else.
struct TreeWalk {
    FolderNames& names;
    const std::string& skipping;  // UTF-8
    std::uint64_t& linkedFolders;
    std::string relative;         // of the folder in hand, with its trailing "/"; empty at the top
    std::string path;             // its whole path, to compare with `skipping`

    bool walk(int dirFd) {
        posix::Fd own(openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!own.valid()) return false;
        Dir dir(fdopendir(own.get()));
        if (!dir) return false;
        own.release();  // the stream owns it now
        const int fd = dirfd(dir.get());
        std::vector<std::string> folders;
        for (;;) {
            errno = 0;
            const dirent* entry = readdir(dir.get());
            if (!entry) break;
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..") continue;
            struct stat st;
            unsigned type = entry->d_type;
            if (type == DT_UNKNOWN) type = fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
            if (type == DT_DIR) {
                folders.emplace_back(name);
            } else if (type == DT_LNK && fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
                ++linkedFolders;
            } else if (isRegularFile(fd, *entry)) {
                std::string file = relative;
                file += name;
                names.add(file);
            }
        }
        if (errno != 0) return false;
        for (const std::string& folder : folders) {
            const std::size_t relativeAt = relative.size(), pathAt = path.size();
            relative += folder;
            relative += '/';
            if (path.empty() || path.back() != '/') path += '/';
            path += folder;
            if (skipping.empty() || !path.starts_with(skipping)) {
                posix::Fd below(openat(fd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!below.valid()) {
                    if (errno == ELOOP || errno == ENOTDIR) ++linkedFolders;  // made a link meanwhile
                } else {
                    walk(below.get());
                }
            }
            relative.resize(relativeAt);
            path.resize(pathAt);
        }
        return true;
    }
};

}  // namespace

bool PosixSystem::listTree(const std::u16string& folder, FolderNames& names, const std::u16string& skipping,
                           std::uint64_t& linkedFolders) {
    names.clear();
    if (folder.empty()) return false;
    const posix::Fd top(open(text::toUtf8(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.valid()) return false;
    const std::string skip = text::toUtf8(skipping);
    TreeWalk walk{names, skip, linkedFolders, std::string(), text::toUtf8(folder)};
    if (!walk.walk(top.get())) {
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
