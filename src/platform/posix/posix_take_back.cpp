// Holding the files of a run to take them back, each act on the file held.
//
// A name can be made to lead elsewhere between any two calls, so nothing
// here checks a name and then acts on the name again without checking what
// it acted on: a copy is compared through descriptors checked to be the
// file held, and a file that is to go is first moved aside to a hidden
// name, checked there, and only then removed (or put back when it turned
// out to be another file).
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>

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

namespace {

// A file of a folder held by its name and the facts it had then. POSIX has
// no rename or unlink of an open file, so each act works on the name and
// then makes sure it was that very file: a rename is checked afterwards and
// undone when another file moved; a removal moves the file aside first and
// removes it only when it is still the one held. A descriptor is opened
// only to read the bytes, and checked to be the file held.
class PosixHeldFile : public HeldFile {
public:
    PosixHeldFile(int dir, const char* name, const struct stat& st, bool followed)
        : dir_(dir), name_(name), st_(st), stamp_(posix::stampOf(st)), followed_(followed) {}

    const FileStamp& stamp() const override { return stamp_; }
    EntryKind kind() const override { return S_ISLNK(st_.st_mode) ? EntryKind::Link : EntryKind::File; }

    Moved moveTo(OpenFolder& folder, NativeNameView name) override {
        const posix::CName to(name);
        if (!to.valid()) return Moved::Failed;
        const int toDir = fdOf(folder);
        if (!posix::renameNoReplace(dir_, name_.c_str(), toDir, to.get())) {
            if (errno == EEXIST) return Moved::Taken;
            return errno == EXDEV ? Moved::OtherVolume : Moved::Failed;
        }
        // The name was looked at and then moved: make sure that it was that
        // file that moved. Another one put there in between goes back.
        struct stat moved;
        if (fstatat(toDir, to.get(), &moved, AT_SYMLINK_NOFOLLOW) == 0 && posix::idOf(moved) == stamp_.id)
            return Moved::Done;
        posix::renameNoReplace(toDir, to.get(), dir_, name_.c_str());
        return Moved::Changed;
    }

    Moved copyTo(OpenFolder& folder, NativeNameView name) override {
        const posix::CName to(name);
        if (!to.valid()) return Moved::Failed;
        auto& target = static_cast<posix::PosixFolder&>(folder);
        struct stat there;
        if (S_ISLNK(st_.st_mode)) {
            struct stat made;
            if (posix::remakeLink(dir_, name_.c_str(), st_, target.fd(), nullptr, made)) return Moved::Done;
            return errno == EEXIST ? Moved::Taken : Moved::Failed;
        }
        const int in = open();
        if (in < 0) return Moved::Failed;
        const TransferResult copied = posix::copyOpen(in, st_, target, to.get(), nullptr);
        if (copied.outcome == TransferOutcome::Copied) return Moved::Done;
        return fstatat(target.fd(), to.get(), &there, AT_SYMLINK_NOFOLLOW) == 0 ? Moved::Taken : Moved::Failed;
    }

    bool sameBytes(HeldFile& other) override {
        const int a = open(), b = static_cast<PosixHeldFile&>(other).open();
        return a >= 0 && b >= 0 && posix::sameBytes(a, b);
    }

    TakeBack remove() override { return removeIfSame(dir_, name_.c_str(), stamp_); }

private:
    // The file opened for reading from its start; -1 when what the name
    // leads to now is not the file held.
    int open() {
        if (!fd_.valid()) {
            fd_ = posix::Fd(openat(dir_, name_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followed_ ? 0 : O_NOFOLLOW)));
            struct stat st;
            if (fd_.valid() && (fstat(fd_.get(), &st) != 0 || posix::stampOf(st) != stamp_)) fd_ = posix::Fd();
        }
        return fd_.valid() && lseek(fd_.get(), 0, SEEK_SET) == 0 ? fd_.get() : -1;
    }

    int dir_;
    std::string name_;
    struct stat st_;
    FileStamp stamp_;
    bool followed_;
    posix::Fd fd_;
};

}  // namespace

HeldResult PosixSystem::holdFile(OpenFolder& folder, NativeNameView name, bool followLinks) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    struct stat st;
    if (fstatat(fdOf(folder), cname.get(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return {errno == ENOENT ? HeldResult::Status::Gone : HeldResult::Status::Failed, nullptr};
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return {HeldResult::Status::Other, nullptr};
    return {HeldResult::Status::Held, std::make_unique<PosixHeldFile>(fdOf(folder), cname.get(), st, followLinks)};
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
