// Copying one file so that its name never shows anything but the whole file.
//
// The data goes into an unnamed file in the destination folder (O_TMPFILE),
// which gets the source's permission bits and times and is then linked in
// under its name; linkat refuses a name that is taken, so nothing is ever
// replaced, and a copy that is killed halfway leaves nothing behind. File
// systems without unnamed files get a hidden temporary name instead, renamed
// into place with RENAME_NOREPLACE and removed again on failure.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/posix_copy.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm::posix {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool copyByReadWrite(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        long n = readFull(in, buffer.get(), kChunk);
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(out, buffer.get(), static_cast<std::size_t>(n))) return false;
    }
}

// Copies the data from the current offsets on, as much as the source held when
// it was opened (a file still growing is copied as it was). copy_file_range lets the kernel
// (or the file system, by sharing extents) do the work; file systems and
// kernels that cannot do it for this pair get a plain read/write loop that
// carries on from wherever copy_file_range stopped.
bool copyData(int in, int out, off_t size) {
    // Files that claim to be empty may still have content (/proc and the like
    // report size 0), and copy_file_range cannot see it: read them instead.
    if (size == 0) return copyByReadWrite(in, out);
    off_t copied = 0;
    while (copied < size) {
        const std::size_t want = static_cast<std::size_t>(std::min<off_t>(size - copied, 1 << 30));
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, want, 0);
        if (n > 0) {
            copied += n;
        } else if (n == 0) {
            // Nothing at all from a file that claims content: some file
            // systems answer so instead of with an error. Otherwise the file
            // shrank meanwhile and is copied as it now is.
            return copied == 0 ? copyByReadWrite(in, out) : true;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            return copyByReadWrite(in, out);
        } else if (errno != EINTR) {
            return false;
        }
    }
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

// Data, permission bits and times: everything the file must have before it
// may appear under its name.
bool fill(int out, int in, const struct stat& source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return copyData(in, out, source.st_size) && fchmod(out, modeFor(out, source)) == 0 &&
           futimens(out, times) == 0;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Links an unnamed file in under `target`. The /proc route needs no
// privilege; AT_EMPTY_PATH is the way without /proc, open to privileged
// processes only. errno tells why when neither works.
bool linkUnnamed(int fd, const std::string& target) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    return linkat(fd, "", AT_FDCWD, target.c_str(), AT_EMPTY_PATH) == 0;
}

enum class Publish { Done, Taken, Failed, Unsupported };

Publish viaUnnamedFile(int in, const struct stat& source, const std::string& target) {
    Fd out(open(folderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!out.valid()) {
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? Publish::Unsupported : Publish::Failed;
    }
    if (!fill(out.get(), in, source)) return Publish::Failed;
    if (!linkUnnamed(out.get(), target)) {
        if (errno == EEXIST) return Publish::Taken;
        return errno == ENOENT || errno == EPERM ? Publish::Unsupported : Publish::Failed;
    }
    // A delayed write error can surface only at close: the file is then not
    // whole, so its name goes again.
    if (!out.close()) {
        unlink(target.c_str());
        return Publish::Failed;
    }
    return Publish::Done;
}

// Renames without replacing. Without RENAME_NOREPLACE, link() refuses a taken
// name just as well; a file system without either gets a look and a rename,
// the best it allows.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

std::string hiddenNameBeside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    return folderOf(target) + "/.quillmarsh-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".part";
}

Publish viaHiddenName(int in, const struct stat& source, const std::string& target) {
    const std::string temporary = hiddenNameBeside(target);
    Fd out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) return Publish::Failed;
    if (fill(out.get(), in, source) && out.close()) {
        if (renameNoReplace(temporary, target)) return Publish::Done;
        const bool taken = errno == EEXIST;
        unlink(temporary.c_str());
        return taken ? Publish::Taken : Publish::Failed;
    }
    if (out.valid()) out.close();
    unlink(temporary.c_str());
    return Publish::Failed;
}

// Whether the file already at `path` is a regular file with the same bytes.
// It is opened without following a symbolic link: a link that leads back to
// the source must not count as a copy, or a move would delete the only one.
// For the same reason the source itself (same inode) does not count either.
bool holdsSameContent(const std::string& path, int in, const struct stat& source) {
    Fd existing(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat st;
    if (!existing.valid() || fstat(existing.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_size != source.st_size) return false;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return false;
    if (lseek(in, 0, SEEK_SET) != 0) return false;

    std::unique_ptr<char[]> a(new char[kChunk]), b(new char[kChunk]);
    for (;;) {
        long na = readFull(in, a.get(), kChunk);
        long nb = readFull(existing.get(), b.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(a.get(), b.get(), static_cast<std::size_t>(na)) != 0) return false;
    }
}

}  // namespace

Fd::~Fd() {
    if (fd_ >= 0) ::close(fd_);
}

bool Fd::close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}

Fd openRegularFile(const std::string& path) {
    // O_NONBLOCK: a FIFO or device put where a file was expected must not
    // hang the run in open(); it is then refused as not a regular file.
    Fd in(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (in.valid() && (fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))) return Fd(-1);
    return in;
}

TransferOutcome copyInto(const std::string& from, const std::string& to) {
    Fd in = openRegularFile(from);
    struct stat source;
    if (!in.valid() || fstat(in.get(), &source) != 0) return TransferOutcome::Failed;

    Publish published = viaUnnamedFile(in.get(), source, to);
    if (published == Publish::Unsupported) {
        if (lseek(in.get(), 0, SEEK_SET) != 0) return TransferOutcome::Failed;
        published = viaHiddenName(in.get(), source, to);
    }
    switch (published) {
        case Publish::Done:
            return TransferOutcome::Copied;
        case Publish::Taken:
            return holdsSameContent(to, in.get(), source) ? TransferOutcome::AlreadyThere : TransferOutcome::Failed;
        default:
            return TransferOutcome::Failed;
    }
}

}  // namespace qm::posix

namespace qm {

TransferOutcome PosixPlatform::copyFile(const std::u16string& from, const std::u16string& to) {
    return posix::copyInto(text::toUtf8(from), text::toUtf8(to));
}

}  // namespace qm
