// Taking the files of a run back, each acting on the file it checked.
//
// A name can be made to lead elsewhere between any two calls, so nothing
// here checks a name and then acts on the name again: a copy is compared
// through the descriptor it was checked on, and a file that is to go is
// first moved aside to a hidden name, checked there, and only then removed
// (or put back when it turned out to be another file).
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_links.h"
#include "platform/posix/posix_system.h"

namespace qm {

namespace {

int fdOf(OpenFolder& folder) { return static_cast<posix::PosixFolder&>(folder).fd(); }

// Removes `name` from `dir` only while it is the file `expected`, unchanged
// since it was checked (its time moves with any write).
TakeBack removeIfSame(int dir, const char* name, const FileStamp& expected) {
    const std::string aside = posix::hiddenName("undo");
    if (!posix::renameNoReplace(dir, name, dir, aside.c_str())) return errno == ENOENT ? TakeBack::Gone : TakeBack::Failed;
    struct stat st;
    if (fstatat(dir, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && posix::stampOf(st) == expected) {
        return unlinkat(dir, aside.c_str(), 0) == 0 ? TakeBack::Done : TakeBack::Failed;
    }
    // Another file took the name meanwhile: it gets its name back.
    posix::renameNoReplace(dir, aside.c_str(), dir, name);
    return TakeBack::Changed;
}

class PosixLock : public FolderLock {
public:
    explicit PosixLock(posix::Fd fd) : fd_(std::move(fd)) {}

private:
    posix::Fd fd_;  // the lock goes with the descriptor
};

}  // namespace

std::optional<FileStamp> PosixSystem::stampOf(OpenFolder& folder, NativeNameView name) {
    const posix::CName cname(name);
    struct stat st;
    if (!cname.valid() || fstatat(fdOf(folder), cname.get(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        return std::nullopt;
    return posix::stampOf(st);
}

TakeBack PosixSystem::moveBack(OpenFolder& share, NativeNameView name, OpenFolder& source,
                                 const FileStamp& expected) {
    const posix::CName cname(name);
    if (!cname.valid()) return TakeBack::Failed;
    const int from = fdOf(share), to = fdOf(source);
    struct stat st;
    if (fstatat(from, cname.get(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? TakeBack::Gone : TakeBack::Failed;
    // A link the run moved is the link itself, known by its own identity.
    const bool link = S_ISLNK(st.st_mode);
    if (!(S_ISREG(st.st_mode) || link) || posix::stampOf(st) != expected) return TakeBack::Changed;

    if (posix::renameNoReplace(from, cname.get(), to, cname.get())) {
        // The name was looked at and then moved: make sure that it was that
        // file that moved. Another one put there in between goes back.
        struct stat moved;
        if (fstatat(to, cname.get(), &moved, AT_SYMLINK_NOFOLLOW) == 0 && posix::idOf(moved) == expected.id)
            return TakeBack::Done;
        posix::renameNoReplace(to, cname.get(), from, cname.get());
        return TakeBack::Changed;
    }
    if (errno == EEXIST) return TakeBack::NameTaken;
    if (errno != EXDEV) return TakeBack::Failed;
    if (link) {
        struct stat made;
        if (!posix::remakeLink(from, cname.get(), st, to, nullptr, made))
            return errno == EEXIST ? TakeBack::NameTaken : TakeBack::Failed;
        return removeIfSame(from, cname.get(), expected) == TakeBack::Done ? TakeBack::Done : TakeBack::CopiedBack;
    }

    // Another file system: the file is copied back from the descriptor it was
    // checked on, and the share's name goes only while it still leads there.
    posix::Fd in(openat(from, cname.get(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid() || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) || posix::stampOf(st) != expected)
        return TakeBack::Changed;
    const TransferResult copied = posix::copyOpen(in.get(), st, static_cast<posix::PosixFolder&>(source),
                                                  cname.get(), nullptr);
    if (copied.outcome != TransferOutcome::Copied)
        return fstatat(to, cname.get(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? TakeBack::NameTaken : TakeBack::Failed;
    return removeIfSame(from, cname.get(), expected) == TakeBack::Done ? TakeBack::Done : TakeBack::CopiedBack;
}

TakeBack PosixSystem::deleteCopy(OpenFolder& share, NativeNameView name, const FileStamp& expected,
                                   OpenFolder& source) {
    const posix::CName cname(name);
    if (!cname.valid()) return TakeBack::Failed;
    const int dir = fdOf(share);
    // What the original (stat'ed into originalSt when `found`) says of the
    // copy before any bytes are compared. Whatever path leads from the
    // source folder to the copy itself (a linked folder, a hard link), it is
    // not a second copy. A link in the source folder stood for the content
    // it leads to, so the original is reached following links, as the copy
    // reached it.
    struct stat copySt, originalSt;
    auto verdict = [&](bool found) -> std::optional<TakeBack> {
        if (!found || !S_ISREG(originalSt.st_mode)) return TakeBack::SourceGone;
        if (posix::idOf(originalSt) == expected.id) return TakeBack::SameFile;
        if (originalSt.st_size != copySt.st_size) return TakeBack::Differs;
        return std::nullopt;
    };
    // An empty copy has no bytes to compare: its name's facts and the
    // original's say everything, without opening either. The check is
    // made again on the file moved aside, before it goes.
    if (expected.facts.size == 0) {
        if (fstatat(dir, cname.get(), &copySt, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? TakeBack::Gone : TakeBack::Failed;
        if (!S_ISREG(copySt.st_mode) || posix::stampOf(copySt) != expected) return TakeBack::Changed;
        if (const auto refused = verdict(fstatat(fdOf(source), cname.get(), &originalSt, 0) == 0)) return *refused;
        return removeIfSame(dir, cname.get(), expected);
    }

    posix::Fd copy(openat(dir, cname.get(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!copy.valid()) return errno == ENOENT ? TakeBack::Gone : errno == ELOOP ? TakeBack::Changed : TakeBack::Failed;
    if (fstat(copy.get(), &copySt) != 0 || !S_ISREG(copySt.st_mode) || posix::stampOf(copySt) != expected)
        return TakeBack::Changed;
    posix::Fd originalFd(openat(fdOf(source), cname.get(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (const auto refused = verdict(originalFd.valid() && fstat(originalFd.get(), &originalSt) == 0)) return *refused;
    if (!posix::sameBytes(originalFd.get(), copy.get())) return TakeBack::Differs;
    return removeIfSame(dir, cname.get(), expected);
}

bool PosixSystem::removeFolderBelow(OpenFolder& parent, NativeNameView name) {
    const posix::CName cname(name);
    // unlinkat refuses a link (ENOTDIR) and a folder that is not empty.
    return cname.valid() && unlinkat(fdOf(parent), cname.get(), AT_REMOVEDIR) == 0;
}

std::unique_ptr<FolderLock> PosixSystem::lockFolder(OpenFolder& folder, bool exclusive) {
    // A descriptor of its own: flock locks belong to an open file
    // description, and the folder's own may be shared by other holders.
    posix::Fd fd(openat(fdOf(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid() || flock(fd.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) return nullptr;
    return std::make_unique<PosixLock>(std::move(fd));
}

}  // namespace qm
