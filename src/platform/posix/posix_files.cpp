// The record of a run: written as the run goes, read back as a stream.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_folder.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

// Written in place with pwrite, unbuffered: a line is in the file (in the
// page cache, which outlives the process) when writeAt returns.
class PosixRecordFile : public RecordFile {
public:
    explicit PosixRecordFile(posix::Fd fd) : fd_(std::move(fd)) {}

    bool writeAt(std::uint64_t offset, std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = pwrite(fd_.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    bool truncate(std::uint64_t size) override { return ftruncate(fd_.get(), static_cast<off_t>(size)) == 0; }
    bool close() override { return fd_.valid() && fd_.close(); }

private:
    posix::Fd fd_;
};

class PosixInputFile : public InputFile {
public:
    explicit PosixInputFile(posix::Fd fd) : fd_(std::move(fd)) {}

    long long read(char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, size);
            if (n >= 0 || errno != EINTR) return n;
        }
    }
    bool rewind() override { return lseek(fd_.get(), 0, SEEK_SET) == 0; }

private:
    posix::Fd fd_;
};

}  // namespace

std::unique_ptr<RecordFile> PosixPlatform::createRecordFile(const std::u16string& path) {
    // O_EXCL with O_CREAT refuses every existing name, a dangling link or a
    // device node included: the record of an earlier run is never replaced.
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixRecordFile>(std::move(fd));
}

std::unique_ptr<InputFile> PosixPlatform::openInputFile(const std::u16string& path) {
    // O_NONBLOCK: a FIFO put at the name must not hang the open; only a
    // regular file is read.
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
}

}  // namespace qm
