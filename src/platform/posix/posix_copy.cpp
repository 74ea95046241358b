// Copying one file so that its name never shows anything but the whole file.
//
// The data goes into an unnamed file in the destination folder (O_TMPFILE),
// which gets the source's permission bits and times and is then linked in
// under its name; linkat refuses a name that is taken, so nothing is ever
// replaced, and a copy that is killed halfway leaves nothing behind. File
// systems without unnamed files get a hidden temporary name instead, renamed
// into place with RENAME_NOREPLACE and removed again on failure.
//
// This runs once per file of a dispatch, so every system call here is one
// the result needs: both folders are open already, the buffer is reused, and
// the mode is set only when creating the file could not get it right.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/posix_io.h"

namespace qm::posix {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// One buffer per thread for the whole run (the copy may run on two).
char* chunkBuffer() {
    thread_local std::unique_ptr<char[]> buffer(new char[kChunk]);
    return buffer.get();
}

// Copies exactly `size` bytes with read and write, and fails when the file
// turns out to hold fewer or more: a copy is a snapshot of the file as it was
// opened. A small file takes one read (asking for one byte more than it
// should hold, so that growth shows at once) and one write.
bool copyByReadWrite(int in, int out, off_t size) {
    char* buffer = chunkBuffer();
    for (off_t left = size;;) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(left + 1, kChunk));
        ssize_t n = ::read(in, buffer, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n > left) return false;  // grew
        if (n == 0) return left == 0;  // ended early: shrank
        if (!writeAll(out, buffer, static_cast<std::size_t>(n))) return false;
        left -= n;
        // A read that asked for more than was left and got exactly what was
        // left has met the end of the file.
        if (left == 0 && static_cast<std::size_t>(n) < want) return true;
    }
}

// Nothing after `size` bytes: the file did not grow while it was copied.
bool endsAt(int in, off_t size) {
    char extra;
    ssize_t n;
    do n = pread(in, &extra, 1, size);
    while (n < 0 && errno == EINTR);
    return n == 0;
}

// Copies the data from the current offsets on: exactly the size the source
// had when it was opened. Small files take one read and one write; larger
// ones go through copy_file_range, which lets the kernel (or the file system,
// by sharing extents) do the work, with a read/write loop for file systems
// and kernels that cannot do it for this pair. Files that claim to be empty
// but are not (/proc and the like report size 0 and never end) fail.
bool copyData(int in, int out, off_t size) {
    if (size <= static_cast<off_t>(kChunk)) return copyByReadWrite(in, out, size);
    off_t copied = 0;
    while (copied < size) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - copied, 1 << 30));
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, want, 0);
        if (n > 0) {
            copied += n;
        } else if (n == 0) {
            // Nothing at all from a file that claims content: some file
            // systems answer so instead of with an error. Otherwise the file
            // shrank meanwhile.
            if (copied != 0) return false;
            return copyByReadWrite(in, out, size);
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            if (copied != 0) return false;
            return copyByReadWrite(in, out, size);
        } else if (errno != EINTR) {
            return false;
        }
    }
    return endsAt(in, size);
}

// How a file was made: whether it kept its time and bits, and whether it
// was to be, and was, a clone.
struct Made {
    bool kept = true;
    bool tryClone = false;
    bool cloned = false;
};

// The source's blocks shared with the copy (FICLONE: btrfs, XFS, and the
// like), where the file system can; false (the caller copies) where it
// cannot. A clone is a snapshot too: of exactly the size seen when the source
// was opened.
bool cloneData(int in, int out, off_t size, Made& made) {
    if (ioctl(out, FICLONE, in) != 0) return false;
    struct stat st;
    if (fstat(out, &st) != 0 || st.st_size != size || !endsAt(in, size)) {
        // Grown or shrunk meanwhile: what was shared is dropped, and the
        // copy that follows fails as a copy of a changing file does.
        if (ftruncate(out, 0) != 0) return false;
        return false;
    }
    made.cloned = true;
    return true;
}

// The copy's permission bits. Set-user-ID and set-group-ID stay only where the
// copy has the source's owner and group: a copy that root makes of another
// user's setuid program must not become a root setuid program.
mode_t modeFor(int out, const struct stat& source) {
    mode_t mode = source.st_mode & 07777;
    if ((mode & (S_ISUID | S_ISGID)) == 0) return mode;
    struct stat st;
    if (fstat(out, &st) != 0 || st.st_uid != source.st_uid || st.st_gid != source.st_gid)
        mode &= static_cast<mode_t>(~(S_ISUID | S_ISGID));
    return mode;
}

// What a file system answers that cannot keep a file's times or bits (some
// network, FUSE and FAT ones), asked for a file the run has just made: the
// file is still worth having whole, only without them.
bool cannot(int error) { return error == ENOSYS || error == EOPNOTSUPP || error == EPERM; }

// One of the two calls that give a copy what it keeps besides its bytes;
// false only for a real failure. Once the file system said that it cannot,
// it is not asked again in this run, and `kept` turns false.
template <typename Call>
bool keep(std::atomic<bool>& refused, bool simulated, bool& kept, Call call) {
    if (refused.load(std::memory_order_relaxed)) {
        kept = false;
        return true;
    }
    if (simulated) {
        errno = ENOSYS;
    } else if (call() == 0) {
        return true;
    }
    if (!cannot(errno)) return false;
    refused.store(true, std::memory_order_relaxed);
    kept = false;
    return true;
}

bool setMode(int out, mode_t mode, const PosixFolder& to, bool& kept) {
    return keep(to.refusals().mode, to.refusals().simulated, kept, [&] { return fchmod(out, mode); });
}

// Data, permission bits and times: everything the file must have before it
// may appear under its name. The file was created with the source's bits;
// they need setting again only where the umask or a default ACL cut some,
// or where there are special bits.
bool fill(int out, int in, const struct stat& source, const PosixFolder& to, Made& made) {
    bool& kept = made.kept;
    if (!(made.tryClone && cloneData(in, out, source.st_size, made)) && !copyData(in, out, source.st_size)) return false;
    const mode_t wanted = source.st_mode & 07777;
    const bool creationGotIt = !to.defaultAcl() && (wanted & 07000) == 0 && (wanted & to.umask()) == 0;
    if (!creationGotIt && !setMode(out, modeFor(out, source), to, kept)) return false;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return keep(to.refusals().times, to.refusals().simulated, kept, [&] { return futimens(out, times); });
}

// Links an unnamed file in under `name`. AT_EMPTY_PATH needs a privilege
// that most processes lack (ENOENT then); the /proc route needs none. Which
// one works is found once.
bool linkUnnamed(int fd, const PosixFolder& to, const char* name) {
    static std::atomic<bool> emptyPathWorks{true};
    if (emptyPathWorks.load(std::memory_order_relaxed)) {
        if (linkat(fd, "", to.fd(), name, AT_EMPTY_PATH) == 0) return true;
        if (errno != ENOENT) return false;
        emptyPathWorks.store(false, std::memory_order_relaxed);
    }
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, self, to.fd(), name, AT_SYMLINK_FOLLOW) == 0;
}

enum class Publish { Done, Taken, Failed, Unsupported };

// Tells the witness what is about to appear under the name: the open
// file's facts (its time as it really is) and identity.
bool witnessed(TransferWitness* witness, int out, FileId& id) {
    struct stat st;
    if (fstat(out, &st) != 0) return false;
    id = idOf(st);
    return !witness || witness->publishing(factsOf(st), id);
}

Publish viaUnnamedFile(int in, const struct stat& source, const PosixFolder& to, const char* name,
                       TransferWitness* witness, FileId& id, Made& made) {
    // Asked once a run: where the file system has no unnamed files, every
    // try would cost a round trip to a network share for nothing.
    if (to.refusals().unnamed.load(std::memory_order_relaxed)) return Publish::Unsupported;
    Fd out(openat(to.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, source.st_mode & 0777));
    if (!out.valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return Publish::Failed;
        to.refusals().unnamed.store(true, std::memory_order_relaxed);
        return Publish::Unsupported;
    }
    if (!fill(out.get(), in, source, to, made) || !witnessed(witness, out.get(), id)) return Publish::Failed;
    if (!linkUnnamed(out.get(), to, name)) {
        if (errno == EEXIST) return Publish::Taken;
        return errno == ENOENT || errno == EPERM ? Publish::Unsupported : Publish::Failed;
    }
    // A delayed write error can surface only at close: the file is then not
    // whole, so its name goes again.
    if (!out.close()) {
        unlinkat(to.fd(), name, 0);
        return Publish::Failed;
    }
    return Publish::Done;
}

Publish viaHiddenName(int in, const struct stat& source, const PosixFolder& to, const char* name,
                      TransferWitness* witness, FileId& id, Made& made) {
    const std::string temporary = hiddenName("part");
    // Made with the source's bits, as the unnamed file is: where chmod is
    // refused (some FUSE and network file systems) the copy still has them.
    Fd out(openat(to.fd(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  source.st_mode & 0777));
    if (!out.valid()) return Publish::Failed;
    // Made with the bits the unnamed file would have had: fill() sets them
    // again only where the umask, a default ACL or special bits call for it.
    if (fill(out.get(), in, source, to, made) && witnessed(witness, out.get(), id) && out.close()) {
        if (renameNoReplace(to.fd(), temporary.c_str(), to.fd(), name)) return Publish::Done;
        const bool taken = errno == EEXIST;
        unlinkat(to.fd(), temporary.c_str(), 0);
        return taken ? Publish::Taken : Publish::Failed;
    }
    if (out.valid()) out.close();
    unlinkat(to.fd(), temporary.c_str(), 0);
    return Publish::Failed;
}

// Whether the file already at `name` is a regular file with the same bytes.
// It is opened without following a symbolic link: a link that leads back to
// the source must not count as a copy, or a move would delete the only one.
// For the same reason the source itself (same inode) does not count either.
bool holdsSameContent(const PosixFolder& to, const char* name, int in, const struct stat& source, FileId& id) {
    Fd existing(openat(to.fd(), name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    if (!existing.valid() || fstat(existing.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return false;
    id = idOf(st);
    return st.st_size == source.st_size && lseek(in, 0, SEEK_SET) == 0 && sameBytes(in, existing.get());
}

}  // namespace

bool sameBytes(int a, int b) {
    char* bufferA = chunkBuffer();
    thread_local std::unique_ptr<char[]> bufferB(new char[kChunk]);
    for (;;) {
        long na = readFull(a, bufferA, kChunk);
        long nb = readFull(b, bufferB.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(bufferA, bufferB.get(), static_cast<std::size_t>(na)) != 0) return false;
    }
}

TransferResult copyInto(int from, const char* name, const PosixFolder& to, TransferWitness* witness, bool clone) {
    Fd in(openat(from, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat source;
    if (!in.valid() || fstat(in.get(), &source) != 0 || !S_ISREG(source.st_mode)) return {};
    return copyOpen(in.get(), source, to, name, witness, clone);
}

TransferResult compareWithTaken(int from, const char* name, const PosixFolder& to) {
    Fd in(openat(from, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat source;
    if (!in.valid() || fstat(in.get(), &source) != 0 || !S_ISREG(source.st_mode)) return {};
    FileId id;
    if (holdsSameContent(to, name, in.get(), source, id)) return {TransferOutcome::AlreadyThere, factsOf(source), id};
    return {TransferOutcome::Failed, factsOf(source), {}, true};
}

TransferResult copyOpen(int in, const struct stat& source, const PosixFolder& to, const char* name,
                        TransferWitness* witness, bool clone) {
    FileId id;
    Made made{true, clone, false};
    Publish published = viaUnnamedFile(in, source, to, name, witness, id, made);
    if (published == Publish::Unsupported) {
        if (lseek(in, 0, SEEK_SET) != 0) return {TransferOutcome::Failed, factsOf(source), {}};
        made = Made{true, clone, false};
        published = viaHiddenName(in, source, to, name, witness, id, made);
    }
    if (published == Publish::Done)
        return {made.cloned ? TransferOutcome::Cloned : TransferOutcome::Copied, factsOf(source), id, false, !made.kept};
    if (published != Publish::Taken) return {TransferOutcome::Failed, factsOf(source), {}};
    if (holdsSameContent(to, name, in, source, id)) return {TransferOutcome::AlreadyThere, factsOf(source), id};
    return {TransferOutcome::Failed, factsOf(source), {}, true};
}

}  // namespace qm::posix

namespace qm {

TransferResult PosixSystem::writeFile(OpenFolder& folder, NativeNameView name, std::string_view bytes,
                                      TransferWitness* witness) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    auto& to = static_cast<posix::PosixFolder&>(folder);
    // Published as a copy is: an unnamed file linked in, or a hidden name
    // renamed, never over a name that is taken.
    posix::Fd out(openat(to.fd(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666 & ~to.umask()));
    std::string temporary;
    if (!out.valid()) {
        temporary = posix::hiddenName("part");
        out = posix::Fd(openat(to.fd(), temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               0666 & ~to.umask()));
    }
    struct stat st;
    FileId id;
    bool ok = out.valid() && posix::writeAll(out.get(), bytes.data(), bytes.size()) && fstat(out.get(), &st) == 0;
    if (ok) {
        id = posix::idOf(st);
        ok = !witness || witness->publishing(posix::factsOf(st), id);
    }
    bool published = false, taken = false;
    if (ok && temporary.empty()) {
        char self[32];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", out.get());
        published = linkat(AT_FDCWD, self, to.fd(), cname.get(), AT_SYMLINK_FOLLOW) == 0;
        taken = !published && errno == EEXIST;
    } else if (ok) {
        published = posix::renameNoReplace(to.fd(), temporary.c_str(), to.fd(), cname.get());
        taken = !published && errno == EEXIST;
    }
    if (!published && !temporary.empty()) unlinkat(to.fd(), temporary.c_str(), 0);
    if (published) {
        // A delayed write error shows only at close: the file is then not whole.
        if (out.close()) return {TransferOutcome::Copied, posix::factsOf(st), id};
        unlinkat(to.fd(), cname.get(), 0);
        return {};
    }
    if (!taken) return {};
    // Taken: the same bytes there already count as written.
    posix::Fd there(openat(to.fd(), cname.get(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat thereSt;
    if (there.valid() && fstat(there.get(), &thereSt) == 0 && S_ISREG(thereSt.st_mode) &&
        static_cast<std::size_t>(thereSt.st_size) == bytes.size() && lseek(out.get(), 0, SEEK_SET) == 0 &&
        posix::sameBytes(out.get(), there.get()))
        return {TransferOutcome::AlreadyThere, posix::factsOf(st), posix::idOf(thereSt)};
    return {TransferOutcome::Failed, {}, {}, true};
}

TransferResult PosixSystem::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                       TransferWitness* witness) {
    const posix::CName cname(name);
    if (!cname.valid()) return {};
    return posix::copyInto(static_cast<posix::PosixFolder&>(from).fd(), cname.get(),
                           static_cast<posix::PosixFolder&>(to), witness);
}

}  // namespace qm
