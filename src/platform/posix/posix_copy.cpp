// Copying one file without ever replacing what is at the destination.
//
// The destination is created with O_EXCL, so a clash is found by the same
// system call that creates the file: no separate look beforehand, and no race
// with another program putting a file there in between. This path runs once
// per file of a dispatch, so it makes no system call that cp would not.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, reporting the result: a delayed write error can surface here.
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool copyByReadWrite(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        long n = posix::readFull(in, buffer.get(), kChunk);
        if (n < 0) return false;
        if (n == 0) return true;
        if (!posix::writeAll(out, buffer.get(), static_cast<std::size_t>(n))) return false;
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

bool finishCopy(Fd& out, int in, const struct stat& source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    // fchmod after creation: the mode given to open is cut down by the umask.
    return copyData(in, out.get(), source.st_size) && fchmod(out.get(), source.st_mode & 07777) == 0 &&
           futimens(out.get(), times) == 0 && out.close();
}

// Whether the file already at `path` is a regular file with the same bytes.
// It is opened without following a symbolic link: a link that leads back to
// the source must not count as a copy, or a move would delete the only one.
// For the same reason the source itself (same inode) does not count either.
bool holdsSameContent(const std::string& path, int in, const struct stat& source) {
    Fd existing(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st;
    if (!existing.valid() || fstat(existing.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_size != source.st_size) return false;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino) return false;

    std::unique_ptr<char[]> a(new char[kChunk]), b(new char[kChunk]);
    for (;;) {
        long na = posix::readFull(in, a.get(), kChunk);
        long nb = posix::readFull(existing.get(), b.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(a.get(), b.get(), static_cast<std::size_t>(na)) != 0) return false;
    }
}

}  // namespace

TransferOutcome PosixPlatform::copyFile(const std::u16string& from, const std::u16string& to) {
    Fd in(open(text::toUtf8(from).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat source;
    if (!in.valid() || fstat(in.get(), &source) != 0 || !S_ISREG(source.st_mode)) return TransferOutcome::Failed;

    const std::string target = text::toUtf8(to);
    Fd out(open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, source.st_mode & 0777));
    if (!out.valid()) {
        if (errno == EEXIST && holdsSameContent(target, in.get(), source)) return TransferOutcome::AlreadyThere;
        return TransferOutcome::Failed;
    }
    if (!finishCopy(out, in.get(), source)) {
        if (out.valid()) out.close();
        unlink(target.c_str());
        return TransferOutcome::Failed;
    }
    return TransferOutcome::Done;
}

}  // namespace qm
