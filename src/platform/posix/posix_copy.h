// The copy that both the copy and the move of the POSIX platform use.
#pragma once

#include <string>

#include "platform/platform.h"

namespace qm::posix {

// An open file descriptor, closed when it goes.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
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

// Opens a file for reading without blocking and keeps it only when it is a
// regular file (following a symbolic link); invalid otherwise.
Fd openRegularFile(const std::string& path);

// Copies `from` to the new name `to` as the transfer contract says: Copied,
// AlreadyThere or Failed; the source is never touched.
TransferOutcome copyInto(const std::string& from, const std::string& to);

}  // namespace qm::posix
