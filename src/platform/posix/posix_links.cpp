// Moving a symbolic link as the link itself: what it leads to belongs to
// whoever made the link, not to the run, and a link dealt into a share must
// come back as a link.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_links.h"

namespace qm::posix {

namespace {

// The target of the link `name` in `dir`; false when it is no link. The
// size lstat tells is only a hint (some file systems say 0).
bool readLink(int dir, const char* name, std::string& target) {
    target.resize(256);
    for (;;) {
        const ssize_t n = readlinkat(dir, name, target.data(), target.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return true;
        }
        target.resize(target.size() * 2);
    }
}

// Whether `name` in `toDir` is a link with the same target as `name` in `fromDir`.
bool sameLink(int fromDir, int toDir, const char* name, struct stat& there) {
    std::string mine, theirs;
    return fstatat(toDir, name, &there, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(there.st_mode) &&
           readLink(fromDir, name, mine) && readLink(toDir, name, theirs) && mine == theirs;
}

// A clash at a link's destination: the same link there already, or anything else.
TransferResult taken(int fromDir, const char* name, const PosixFolder& to, const struct stat& st) {
    struct stat there;
    if (sameLink(fromDir, to.fd(), name, there)) return {TransferOutcome::AlreadyThere, factsOf(st), idOf(there)};
    return {TransferOutcome::Failed, factsOf(st), {}, true};
}

}  // namespace

bool remakeLink(int fromDir, const char* name, const struct stat& st, int toDir, TransferWitness* witness,
                struct stat& made) {
    std::string target;
    if (!readLink(fromDir, name, target)) return false;
    const std::string hidden = hiddenName("part");
    if (symlinkat(target.c_str(), toDir, hidden.c_str()) != 0) return false;
    // The link's own time, where the file system keeps one for links; the
    // record says what the new link really has.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(toDir, hidden.c_str(), times, AT_SYMLINK_NOFOLLOW);
    const bool ready = fstatat(toDir, hidden.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0 &&
                       (!witness || witness->publishing(factsOf(made), idOf(made)));
    if (ready && renameNoReplace(toDir, hidden.c_str(), toDir, name)) return true;
    const int why = ready ? errno : EIO;
    unlinkat(toDir, hidden.c_str(), 0);
    errno = why;
    return false;
}

TransferResult moveLink(int fromDir, const char* name, const struct stat& st, const PosixFolder& to,
                        TransferWitness* witness) {
    if (st.st_dev == to.device()) {
        if (witness && !witness->publishing(factsOf(st), idOf(st))) return {};
        if (renameNoReplace(fromDir, name, to.fd(), name)) return {TransferOutcome::Moved, factsOf(st), idOf(st)};
        if (errno == EEXIST) return taken(fromDir, name, to, st);
        if (errno != EXDEV) return {TransferOutcome::Failed, factsOf(st), {}};
    }
    struct stat made;
    if (!remakeLink(fromDir, name, st, to.fd(), witness, made)) {
        if (errno == EEXIST) return taken(fromDir, name, to, st);
        return {TransferOutcome::Failed, factsOf(st), {}};
    }
    const TransferOutcome outcome = unlinkat(fromDir, name, 0) == 0 ? TransferOutcome::Moved : TransferOutcome::Copied;
    return {outcome, factsOf(made), idOf(made)};
}

}  // namespace qm::posix
