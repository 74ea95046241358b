// Open folders, descriptors, names and the facts of files, as every file
// call of the POSIX side uses them.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <memory>
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
    // Hands the descriptor over (to a directory stream, say).
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// What the file system of a run's folders refused to set on a new file
// (some network, FUSE and FAT file systems keep no times or no permission
// bits), so that the call is not made again for every file. Shared by a
// folder and the folders opened below it: a run's share folders learn it
// once for the whole run.
struct Refusals {
    std::atomic<bool> times{false}, mode{false};
    // No unnamed files (O_TMPFILE) there: FUSE and network file systems.
    std::atomic<bool> unnamed{false};
    // Tests: the file system answers every such call as one that cannot.
    bool simulated = false;
};

// A folder opened once for a run; files in it are reached by name alone.
class PosixFolder : public OpenFolder {
public:
    PosixFolder(std::u16string path, Fd fd, dev_t device, bool defaultAcl, mode_t umask,
                std::shared_ptr<Refusals> refusals)
        : OpenFolder(std::move(path)), fd_(std::move(fd)), device_(device), defaultAcl_(defaultAcl), umask_(umask),
          refusals_(std::move(refusals)) {}
    int fd() const { return fd_.get(); }
    // The file system it is on: a rename to a folder on another one cannot work.
    dev_t device() const { return device_; }
    // Whether new files here take their permissions from a default ACL
    // rather than from the umask alone.
    bool defaultAcl() const { return defaultAcl_; }
    // The bits that creating a file here strips (without a default ACL).
    mode_t umask() const { return umask_; }
    Refusals& refusals() const { return *refusals_; }
    const std::shared_ptr<Refusals>& sharedRefusals() const { return refusals_; }

private:
    Fd fd_;
    dev_t device_;
    bool defaultAcl_;
    mode_t umask_;
    std::shared_ptr<Refusals> refusals_;
};

// The folder behind an open descriptor, as an OpenFolder; nullptr when it is none.
std::unique_ptr<PosixFolder> folderFrom(std::u16string path, Fd fd, mode_t umask, std::shared_ptr<Refusals> refusals);

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

// Renames `from` in folder `fromDir` to `to` in `toDir` without ever
// replacing what has the name `to`. False with errno set (EEXIST: taken;
// EXDEV: another file system).
bool renameNoReplace(int fromDir, const char* from, int toDir, const char* to);

// A fresh hidden name for a file that is on its way in or out of a folder.
std::string hiddenName(const char* purpose);

FileFacts factsOf(const struct stat& st);
FileId idOf(const struct stat& st);
inline FileStamp stampOf(const struct stat& st) { return {idOf(st), factsOf(st)}; }

// The process's umask, read without changing it: umask() can only be read by
// setting it, which would race with other threads creating files.
mode_t readUmask();

}  // namespace qm::posix
