// The failure log's file: UTF-8 lines ending in CR LF, written in large pieces.
//
// The log's places are shared folders ($HOME, the temporary folder), so its
// name is never trusted: the file is created exclusively and without
// following a link, an old file is removed rather than truncated through its
// name, and a running run keeps an exclusive lock on its own log so that a
// second run leaves it alone and moves on to its next place.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

class PosixTextFile : public TextFile {
public:
    explicit PosixTextFile(int fd) : fd_(fd) {}
    ~PosixTextFile() override {
        if (fd_ >= 0) close();
    }

    bool writeLine(const std::u16string& line) override {
        if (fd_ < 0) return false;
        buffer_ += text::toUtf8(line);
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushAt) flush();
        return ok_;
    }

    bool close() override {
        if (fd_ < 0) return ok_;
        flush();
        if (::close(fd_) != 0) ok_ = false;
        fd_ = -1;
        return ok_;
    }

    bool flush() override {
        if (ok_ && !posix::writeAll(fd_, buffer_.data(), buffer_.size())) ok_ = false;
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;

    int fd_;
    bool ok_ = true;  // false from the first failed write on
    std::string buffer_;
};

// Removes what has the name unless a running run holds it as its log. The
// lock is kept while the name goes, so no run can take it up in between.
bool removeUnlessHeld(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // Not openable (a symbolic link, no permission to read): the name itself
    // still goes, whatever it points to stays.
    const bool removed = unlink(path.c_str()) == 0;
    if (fd >= 0) ::close(fd);
    return removed;
}

}  // namespace

std::unique_ptr<TextFile> PosixSystem::createTextFile(const std::u16string& path) {
    const std::string name = text::toUtf8(path);
    // Twice at most: once more after removing an old file; when someone takes
    // the name again in between, the next place is the better choice.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            flock(fd, LOCK_EX | LOCK_NB);
            return std::make_unique<PosixTextFile>(fd);
        }
        if (errno != EEXIST || !removeUnlessHeld(name)) return nullptr;
    }
    return nullptr;
}

}  // namespace qm
