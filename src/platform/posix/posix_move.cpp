// Moving one file by renaming it, never onto an existing name.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

// For file systems without link(): a plain rename after a look. Another
// program could put a file there between the look and the rename; nothing
// better exists on such a file system.
TransferOutcome renameIfFree(const std::string& from, const std::string& to) {
    struct stat st;
    if (lstat(to.c_str(), &st) == 0 || errno != ENOENT) return TransferOutcome::Failed;
    return rename(from.c_str(), to.c_str()) == 0 ? TransferOutcome::Done : TransferOutcome::Failed;
}

// For file systems without a no-replace rename: link() refuses an existing
// name just as RENAME_NOREPLACE does; dropping the old name completes the move.
TransferOutcome linkThenUnlink(const std::string& from, const std::string& to) {
    if (link(from.c_str(), to.c_str()) != 0) {
        if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) return renameIfFree(from, to);
        return TransferOutcome::Failed;
    }
    if (unlink(from.c_str()) != 0) {
        unlink(to.c_str());  // leave things as they were: the caller will copy
        return TransferOutcome::Failed;
    }
    return TransferOutcome::Done;
}

}  // namespace

TransferOutcome PosixPlatform::moveFile(const std::u16string& from, const std::u16string& to) {
    const std::string source = text::toUtf8(from), target = text::toUtf8(to);
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return TransferOutcome::Done;
    }
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return linkThenUnlink(source, target);
    return TransferOutcome::Failed;
}

}  // namespace qm
