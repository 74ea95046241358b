// Whole files: facts, comparison, reading, and a file written in one piece.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/posix/posix_folder.h"
#include "platform/posix/posix_io.h"
#include "platform/posix/posix_platform.h"
#include "text/utf.h"

namespace qm {

namespace {

// A regular file opened for reading, without following a link or blocking.
posix::Fd openRegular(const std::string& path, struct stat& st) {
    posix::Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.valid() && (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) return posix::Fd();
    return fd;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The data goes into an unnamed file in the target's folder; commit() links
// it in under a fresh hidden name and renames that over the target, so the
// target is either the old file or the whole new one. Where the file system
// has no unnamed files the hidden name is used from the start, and removed
// when the file is dropped.
class PosixPendingFile : public PendingFile {
public:
    PosixPendingFile(std::string target, posix::Fd fd, std::string hidden)
        : target_(std::move(target)), fd_(std::move(fd)), hidden_(std::move(hidden)) {}
    ~PosixPendingFile() override {
        if (!committed_ && !hidden_.empty()) unlink(hidden_.c_str());
    }

    bool write(std::string_view bytes) override {
        if (buffer_.empty() && bytes.size() >= kFlushAt) {  // already a large piece: no second copy
            if (ok_ && !posix::writeAll(fd_.get(), bytes.data(), bytes.size())) ok_ = false;
            return ok_;
        }
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushAt) flush();
        return ok_;
    }

    bool commit() override {
        flush();
        if (!ok_) return false;
        if (hidden_.empty()) {
            const std::string name = hiddenName(target_);
            char self[32];
            std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_.get());
            if (linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) != 0 &&
                linkat(fd_.get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) != 0)
                return false;
            hidden_ = name;
        }
        if (!fd_.close() || rename(hidden_.c_str(), target_.c_str()) != 0) return false;
        committed_ = true;
        return true;
    }

    static std::string hiddenName(const std::string& target) {
        static std::atomic<unsigned> counter{0};
        const std::size_t slash = target.rfind('/');
        const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
        return folderOf(target) + "/." + base + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) +
               ".part";
    }

private:
    static constexpr std::size_t kFlushAt = 64 * 1024;
    void flush() {
        if (ok_ && !posix::writeAll(fd_.get(), buffer_.data(), buffer_.size())) ok_ = false;
        buffer_.clear();
    }

    std::string target_;
    posix::Fd fd_;
    std::string hidden_;  // empty while the file has no name
    std::string buffer_;
    bool ok_ = true;
    bool committed_ = false;
};

}  // namespace

std::optional<FileFacts> PosixPlatform::fileFacts(const std::u16string& path) {
    struct stat st;
    if (lstat(text::toUtf8(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return posix::factsOf(st);
}

bool PosixPlatform::sameContent(const std::u16string& a, const std::u16string& b) {
    struct stat sa, sb;
    posix::Fd fa = openRegular(text::toUtf8(a), sa), fb = openRegular(text::toUtf8(b), sb);
    return fa.valid() && fb.valid() && sa.st_size == sb.st_size && posix::sameBytes(fa.get(), fb.get());
}

bool PosixPlatform::removeEmptyFolder(const std::u16string& path) { return rmdir(text::toUtf8(path).c_str()) == 0; }

std::optional<std::string> PosixPlatform::readFile(const std::u16string& path) {
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string bytes;
    char chunk[64 * 1024];
    for (;;) {
        const long n = posix::readFull(fd.get(), chunk, sizeof chunk);
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
}

std::unique_ptr<PendingFile> PosixPlatform::createPendingFile(const std::u16string& path) {
    const std::string target = text::toUtf8(path);
    posix::Fd fd(open(folderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (fd.valid()) return std::make_unique<PosixPendingFile>(target, std::move(fd), std::string());
    const std::string hidden = PosixPendingFile::hiddenName(target);
    fd = posix::Fd(open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixPendingFile>(target, std::move(fd), hidden);
}

}  // namespace qm
