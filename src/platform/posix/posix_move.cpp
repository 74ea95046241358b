// Moving one file: a rename where the file system allows it, otherwise a
// copy that is published whole before the source name goes.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

// A rename that never replaces. False with errno when it cannot be done here.
bool renameFree(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // No RENAME_NOREPLACE on this file system: link() refuses a taken name
    // just as well, and dropping the old name completes the move.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) != 0) {
        const int why = errno;
        unlink(to.c_str());  // as it was: the copy below will sort it out
        errno = why;
        return false;
    }
    return true;
}

}  // namespace

TransferOutcome PosixPlatform::moveFile(const std::u16string& from, const std::u16string& to) {
    const std::string source = text::toUtf8(from), target = text::toUtf8(to);
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) return TransferOutcome::Failed;
    // Only regular files move. A symbolic link is not renamed: its share
    // would receive a link that may lead nowhere from there, so it delivers
    // its content like a copy and the link itself goes.
    if (S_ISREG(st.st_mode) && renameFree(source, target)) return TransferOutcome::Moved;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return TransferOutcome::Failed;

    // Another file system, a refused rename (a read-only source folder, a
    // name already taken), or a link: a copy, published whole, and then the
    // source name goes. A copy that could not be made leaves the source.
    const TransferOutcome copied = posix::copyInto(source, target);
    if (copied != TransferOutcome::Copied) return copied;
    return unlink(source.c_str()) == 0 ? TransferOutcome::Moved : TransferOutcome::Copied;
}

}  // namespace qm
