// Moving one file: a rename where the file system allows it, otherwise a
// copy that is published whole before the source name goes.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/posix/posix_folder.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

// A rename that never replaces. False with errno when it cannot be done here.
bool renameFree(int from, const char* name, int to) {
    if (renameat2(from, name, to, name, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // No RENAME_NOREPLACE on this file system: link() refuses a taken name
    // just as well, and dropping the old name completes the move.
    if (linkat(from, name, to, name, 0) != 0) return false;
    if (unlinkat(from, name, 0) != 0) {
        const int why = errno;
        unlinkat(to, name, 0);  // as it was: the copy below will sort it out
        errno = why;
        return false;
    }
    return true;
}

}  // namespace

PosixPlatform::PosixPlatform() : umask_(posix::readUmask()) {}

std::unique_ptr<OpenFolder> PosixPlatform::openFolder(const std::u16string& path) {
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) return nullptr;
    // A default ACL decides the mode of new files in place of the umask.
    const bool defaultAcl = fgetxattr(fd.get(), "system.posix_acl_default", nullptr, 0) > 0;
    return std::make_unique<posix::PosixFolder>(path, std::move(fd), defaultAcl, umask_);
}

TransferResult PosixPlatform::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    const int source = static_cast<posix::PosixFolder&>(from).fd();
    const auto& target = static_cast<posix::PosixFolder&>(to);
    struct stat st;
    if (fstatat(source, cname.get(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};
    // Only regular files move. A symbolic link is not renamed: its share
    // would receive a link that may lead nowhere from there, so it delivers
    // its content like a copy and the link itself goes.
    if (S_ISREG(st.st_mode) && renameFree(source, cname.get(), target.fd()))
        return {TransferOutcome::Moved, posix::factsOf(st)};
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return {};

    // Another file system, a refused rename (a read-only source folder, a
    // name already taken), or a link: a copy, published whole, and then the
    // source name goes. A copy that could not be made leaves the source.
    TransferResult copied = posix::copyInto(source, cname.get(), target);
    if (copied.outcome == TransferOutcome::Copied && unlinkat(source, cname.get(), 0) == 0)
        copied.outcome = TransferOutcome::Moved;
    return copied;
}

TransferResult PosixPlatform::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    return posix::copyInto(static_cast<posix::PosixFolder&>(from).fd(), cname.get(),
                           static_cast<posix::PosixFolder&>(to));
}

}  // namespace qm
