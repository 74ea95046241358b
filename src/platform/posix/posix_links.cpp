// Moving a symbolic link as the link itself: what it leads to belongs to
// whoever made the link, not to the run, and a link dealt into a share must
// come back as a link.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_links.h"
#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

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

namespace qm {

TransferResult PosixSystem::linkFile(OpenFolder& from, NativeNameView name, OpenFolder& to, LinkKind kind,
                                     TransferWitness* witness) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    const auto& source = static_cast<posix::PosixFolder&>(from);
    const auto& target = static_cast<posix::PosixFolder&>(to);
    if (kind == LinkKind::Clone) return posix::copyInto(source.fd(), cname.get(), target, witness, true);
    // What the name leads to (a link in the import folder stands for its file).
    struct stat st;
    if (fstatat(source.fd(), cname.get(), &st, 0) != 0 || !S_ISREG(st.st_mode)) return {};
    if (kind == LinkKind::Hard) {
        if (st.st_dev != target.device()) return {TransferOutcome::Failed, posix::factsOf(st), {}, false, false,
                                                  TransferResult::Trouble::OtherVolume};
        if (witness && !witness->publishing(posix::factsOf(st), posix::idOf(st))) return {};
        struct stat linked;
        if (linkat(source.fd(), cname.get(), target.fd(), cname.get(), AT_SYMLINK_FOLLOW) == 0) {
            // The name was looked at and then linked: make sure it was that
            // file. Another one put there in between is unlinked again.
            if (fstatat(target.fd(), cname.get(), &linked, AT_SYMLINK_NOFOLLOW) == 0 && posix::idOf(linked) == posix::idOf(st))
                return {TransferOutcome::Linked, posix::factsOf(st), posix::idOf(st)};
            unlinkat(target.fd(), cname.get(), 0);
            return {};
        }
        if (errno == EXDEV)
            return {TransferOutcome::Failed, posix::factsOf(st), {}, false, false, TransferResult::Trouble::OtherVolume};
        if (errno != EEXIST) return {TransferOutcome::Failed, posix::factsOf(st), {}};
        // The very file there already (a run done again) counts as linked before.
        if (fstatat(target.fd(), cname.get(), &linked, AT_SYMLINK_NOFOLLOW) == 0 && posix::idOf(linked) == posix::idOf(st))
            return {TransferOutcome::AlreadyThere, posix::factsOf(st), posix::idOf(st)};
        return {TransferOutcome::Failed, posix::factsOf(st), {}, true};
    }
    // A symbolic link to the source's path, made under a hidden name first so
    // that its own identity is recorded before it has its name.
    std::string path = text::toUtf8(source.path());
    if (path.empty() || path.back() != '/') path += '/';
    path += cname.get();
    const std::string hidden = posix::hiddenName("part");
    if (symlinkat(path.c_str(), target.fd(), hidden.c_str()) != 0) return {TransferOutcome::Failed, posix::factsOf(st), {}};
    struct stat made;
    const bool ready = fstatat(target.fd(), hidden.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0 &&
                       (!witness || witness->publishing(posix::factsOf(made), posix::idOf(made)));
    if (ready && posix::renameNoReplace(target.fd(), hidden.c_str(), target.fd(), cname.get()))
        return {TransferOutcome::Symlinked, posix::factsOf(made), posix::idOf(made)};
    const bool taken = ready && errno == EEXIST;
    unlinkat(target.fd(), hidden.c_str(), 0);
    if (!taken) return {TransferOutcome::Failed, posix::factsOf(st), {}};
    std::string there(path.size() + 1, '\0');
    struct stat thereSt;
    const ssize_t n = readlinkat(target.fd(), cname.get(), there.data(), there.size());
    if (n == static_cast<ssize_t>(path.size()) && there.compare(0, path.size(), path) == 0 &&
        fstatat(target.fd(), cname.get(), &thereSt, AT_SYMLINK_NOFOLLOW) == 0)
        return {TransferOutcome::AlreadyThere, posix::factsOf(st), posix::idOf(thereSt)};
    return {TransferOutcome::Failed, posix::factsOf(st), {}, true};
}

}  // namespace qm
