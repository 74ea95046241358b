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

#include "platform/posix/posix_folders.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

class PosixTextFile : public TextFile {
public:
    explicit PosixTextFile(posix::Fd fd) : fd_(std::move(fd)) {}
    ~PosixTextFile() override { close(); }

    bool writeLine(const std::u16string& line) override {
        if (!fd_.valid()) return false;
        buffer_ += text::toUtf8(line);
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushAt) flush();
        return ok_;
    }

    bool close() override {
        if (!fd_.valid()) return ok_;
        flush();
        if (!fd_.close()) ok_ = false;
        return ok_;
    }

    bool flush() override {
        if (ok_ && !posix::writeAll(fd_.get(), buffer_.data(), buffer_.size())) ok_ = false;
        buffer_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;

    posix::Fd fd_;
    bool ok_ = true;  // false from the first failed write on
    std::string buffer_;
};

// Removes what has the name unless a running run holds it as its log. The
// lock is kept while the name goes, so no run can take it up in between.
bool removeUnlessHeld(const std::string& path) {
    const posix::Fd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid() && flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return false;
    // Not openable (a symbolic link, no permission to read): the name itself
    // still goes, whatever it points to stays.
    return unlink(path.c_str()) == 0;
}

}  // namespace

std::unique_ptr<TextFile> PosixSystem::createTextFile(const std::u16string& path) {
    const std::string name = text::toUtf8(path);
    // Twice at most: once more after removing an old file; when someone takes
    // the name again in between, the next place is the better choice.
    for (int attempt = 0; attempt < 2; ++attempt) {
        posix::Fd fd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.valid()) {
            flock(fd.get(), LOCK_EX | LOCK_NB);
            return std::make_unique<PosixTextFile>(std::move(fd));
        }
        if (errno != EEXIST || !removeUnlessHeld(name)) return nullptr;
    }
    return nullptr;
}

}  // namespace qm
