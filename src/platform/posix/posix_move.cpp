// Moving one file: a rename where the file system allows it, otherwise a
// copy that is published whole before the source name goes.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_links.h"
#include "platform/posix/posix_system.h"

namespace qm {

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

}  // namespace qm
