// Opening the folders of a run, and moving one file: a rename where the file
// system allows it, otherwise a copy that is published whole before the
// source name goes.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/posix/posix_folder.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

PosixSystem::PosixSystem() : umask_(posix::readUmask()) {}

namespace posix {

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

TransferResult PosixSystem::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                       TransferWitness* witness) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    const auto& source = static_cast<posix::PosixFolder&>(from);
    const auto& target = static_cast<posix::PosixFolder&>(to);
    struct stat st;
    if (fstatat(source.fd(), cname.get(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
    // A symbolic link moves as the link: renamed, or made anew on another
    // file system. What it leads to is not the run's to move.
    if (S_ISLNK(st.st_mode)) return posix::moveLink(source.fd(), cname.get(), st, target, witness);
    // Only regular files move. Between two file systems a rename cannot
    // work, and is not tried.
    if (S_ISREG(st.st_mode) && source.device() == target.device()) {
        if (witness && !witness->publishing(posix::factsOf(st), posix::idOf(st))) return {};
        if (posix::renameNoReplace(source.fd(), cname.get(), target.fd(), cname.get()))
            return {TransferOutcome::Moved, posix::factsOf(st), posix::idOf(st)};
        if (errno == EEXIST) return posix::compareWithTaken(source.fd(), cname.get(), target);
        if (errno != EXDEV && errno != EPERM && errno != EACCES && errno != EROFS)
            return {TransferOutcome::Failed, posix::factsOf(st), {}};
    } else if (!S_ISREG(st.st_mode)) {
        return {};
    }

    // Another file system, or a refused rename (a read-only source folder, a
    // name already taken): a copy, published whole, and then the source name
    // goes. A copy that could not be made leaves the source.
    TransferResult copied = posix::copyInto(source.fd(), cname.get(), target, witness);
    if (copied.outcome == TransferOutcome::Copied && unlinkat(source.fd(), cname.get(), 0) == 0)
        copied.outcome = TransferOutcome::Moved;
    return copied;
}

TransferResult PosixSystem::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                       TransferWitness* witness) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    return posix::copyInto(static_cast<posix::PosixFolder&>(from).fd(), cname.get(),
                           static_cast<posix::PosixFolder&>(to), witness);
}

}  // namespace qm
