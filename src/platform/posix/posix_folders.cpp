// Open folders and the small things every file call of the POSIX side
// shares: descriptors that close themselves, names as the system calls take
// them, a file's facts and identity, a rename that never replaces.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/posix/posix_folders.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

PosixSystem::PosixSystem() : umask_(posix::readUmask()) {}

namespace posix {

bool renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // No RENAME_NOREPLACE on this file system: link() refuses a taken name
    // just as well, and dropping the old name completes the rename.
    if (linkat(fromDir, from, toDir, to, 0) == 0) {
        if (unlinkat(fromDir, from, 0) == 0) return true;
        const int why = errno;
        unlinkat(toDir, to, 0);  // as it was
        errno = why;
        return false;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    // Neither (some FUSE and network file systems): a look and a rename,
    // the best such a file system allows.
    struct stat st;
    if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return renameat(fromDir, from, toDir, to) == 0;
}

std::string hiddenName(const char* purpose) {
    static std::atomic<unsigned> counter{0};
    char name[64];
    std::snprintf(name, sizeof name, ".quillmarsh-%d-%u.%s", static_cast<int>(getpid()), counter++, purpose);
    return name;
}

mode_t readUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    const mode_t old = umask(022);  // no /proc: read it the racy way, once
    umask(old);
    return old;
}

FileFacts factsOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_size),
            {static_cast<std::int64_t>(st.st_mtim.tv_sec), static_cast<std::uint32_t>(st.st_mtim.tv_nsec)}};
}

FileId idOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

bool Fd::close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

CName::CName(NativeNameView name) : valid_(name.size() < sizeof buffer_ && name.find('\0') == NativeNameView::npos) {
    const std::size_t n = valid_ ? name.size() : 0;
    std::memcpy(buffer_, name.data(), n);
    buffer_[n] = '\0';
}

std::unique_ptr<PosixFolder> folderFrom(std::u16string path, Fd fd, mode_t umask, std::shared_ptr<Refusals> refusals) {
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    // A default ACL decides the mode of new files in place of the umask.
    const bool defaultAcl = fgetxattr(fd.get(), "system.posix_acl_default", nullptr, 0) > 0;
    return std::make_unique<PosixFolder>(std::move(path), std::move(fd), st.st_dev, defaultAcl, umask,
                                         std::move(refusals));
}

}  // namespace posix

std::unique_ptr<OpenFolder> PosixSystem::openFolder(const std::u16string& path) {
    auto refusals = std::make_shared<posix::Refusals>();
    refusals->simulated = simulateRefusals_;
    return posix::folderFrom(path, posix::Fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                             umask_, std::move(refusals));
}

std::unique_ptr<OpenFolder> PosixSystem::openFolderBelow(OpenFolder& base, std::u16string_view relative,
                                                           bool create) {
    const auto& from = static_cast<posix::PosixFolder&>(base);
    posix::Fd current(openat(from.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::u16string path = base.path();
    for (std::size_t start = 0; start <= relative.size();) {
        std::size_t end = relative.find(u'/', start);
        if (end == std::u16string_view::npos) end = relative.size();
        const std::u16string_view part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (part == u"." || part == u"..") return nullptr;
        const std::string name = text::toUtf8(part);
        if (create) mkdirat(current.get(), name.c_str(), 0777);  // EEXIST is fine: the open decides
        // O_NOFOLLOW: a link at this name, whatever it leads to, is refused.
        posix::Fd next(openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) return nullptr;
        current = std::move(next);
        if (!path.empty() && path.back() != u'/') path += u'/';
        path += part;
    }
    // Below a folder lies its file system (the share folders of a run below
    // the folder that holds them): what it refused is not asked again.
    return posix::folderFrom(std::move(path), std::move(current), umask_, from.sharedRefusals());
}

std::optional<FileId> PosixSystem::identityOf(OpenFolder& folder) {
    struct stat st;
    if (fstat(static_cast<posix::PosixFolder&>(folder).fd(), &st) != 0) return std::nullopt;
    return posix::idOf(st);
}

}  // namespace qm
