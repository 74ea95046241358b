// The failure log's file: UTF-8 lines ending in CR LF, written in large pieces.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "platform/posix/posix_io.h"
#include "platform/posix/posix_platform.h"
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

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;

    void flush() {
        if (ok_ && !posix::writeAll(fd_, buffer_.data(), buffer_.size())) ok_ = false;
        buffer_.clear();
    }

    int fd_;
    bool ok_ = true;  // false from the first failed write on
    std::string buffer_;
};

}  // namespace

std::unique_ptr<TextFile> PosixPlatform::createTextFile(const std::u16string& path) {
    int fd = open(text::toUtf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixTextFile>(fd);
}

}  // namespace qm
