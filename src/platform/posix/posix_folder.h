// Open folders and file descriptors of the POSIX platform's transfers.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/platform.h"

namespace qm::posix {

// An open file descriptor, closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd();
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now, reporting the result: a delayed write error can surface here.
    bool close();

private:
    int fd_;
};

// A folder opened once for a run; files in it are reached by name alone.
class PosixFolder : public OpenFolder {
public:
    PosixFolder(std::u16string path, Fd fd, bool defaultAcl, mode_t umask)
        : OpenFolder(std::move(path)), fd_(std::move(fd)), defaultAcl_(defaultAcl), umask_(umask) {}
    int fd() const { return fd_.get(); }
    // Whether new files here take their permissions from a default ACL
    // rather than from the umask alone.
    bool defaultAcl() const { return defaultAcl_; }
    // The bits that creating a file here strips (without a default ACL).
    mode_t umask() const { return umask_; }

private:
    Fd fd_;
    bool defaultAcl_;
    mode_t umask_;
};

// A file name as the system calls take it: NUL-terminated, at most NAME_MAX
// bytes (longer names cannot exist in any folder).
class CName {
public:
    explicit CName(NativeNameView name);
    bool valid() const { return valid_; }
    const char* get() const { return buffer_; }

private:
    char buffer_[256];
    bool valid_;
};

// Copies `name` from the folder `from` to the same name in `to`, as the
// transfer contract says: Copied, AlreadyThere or Failed.
TransferResult copyInto(int from, const char* name, const PosixFolder& to);

// Whether two open files hold the same bytes from their current offsets on.
bool sameBytes(int a, int b);

FileFacts factsOf(const struct stat& st);

// The process's umask, read without changing it: umask() can only be read by
// setting it, which would race with other threads creating files.
mode_t readUmask();

}  // namespace qm::posix
