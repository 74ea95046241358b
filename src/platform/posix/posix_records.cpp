// The record of a run: written as the run goes, read back as a stream.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/posix_folders.h"
#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

// Written in place, unbuffered: a line is in the page cache, which outlives
// the process, when writeAt returns. A run writes one line per file, so the
// lines go through a shared mapping of the file's end (a copy of the bytes,
// no system call), whose blocks are reserved ahead with fallocate so that a
// full disk is found out at the reservation, never by a fault on a write.
// Where the file system cannot do that, for lines across the window's end,
// and for corrections of lines already written, pwrite. A run that is killed
// leaves the reserved tail as zero bytes, which the reader takes for the end.
class PosixRecordFile : public RecordFile {
public:
    explicit PosixRecordFile(posix::Fd fd) : fd_(std::move(fd)) {}
    // A record written before, opened again to be marked: what is there is
    // kept, and the few bytes written go by pwrite.
    PosixRecordFile(posix::Fd fd, std::uint64_t size)
        : fd_(std::move(fd)), reserved_(size), end_(size), mapping_(false) {}
    ~PosixRecordFile() override { close(); }

    long long readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = pread(fd_.get(), buffer, size, static_cast<off_t>(offset));
            if (n >= 0 || errno != EINTR) return n;
        }
    }
    std::uint64_t size() override {
        struct stat st;
        return fstat(fd_.get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }

    bool writeAt(std::uint64_t offset, std::string_view bytes) override {
        if (bytes.empty()) return true;
        // Only new lines go through the mapping. A correction of a line
        // written before goes by pwrite, which a kill cannot cut in half: a
        // line half corrected would be neither what it was nor what it is.
        const bool appending = offset >= end_;
        end_ = std::max(end_, offset + bytes.size());
        if (appending && mapped(offset, bytes.size())) {
            std::memcpy(window_ + (offset - windowAt_), bytes.data(), bytes.size());
            return true;
        }
        if (failed_) return false;
        while (!bytes.empty()) {
            const ssize_t n = pwrite(fd_.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
            offset += static_cast<std::uint64_t>(n);
        }
        return true;
    }
    bool truncate(std::uint64_t size) override {
        unmap();
        end_ = std::min(end_, size);
        reserved_ = size;
        return ftruncate(fd_.get(), static_cast<off_t>(size)) == 0;
    }
    bool close() override {
        if (!fd_.valid()) return false;
        unmap();
        // The reserved tail goes: the file ends where its last line does.
        const bool cut = reserved_ <= end_ || ftruncate(fd_.get(), static_cast<off_t>(end_)) == 0;
        return fd_.close() && cut;
    }

private:
    static constexpr std::uint64_t kWindow = 1 << 20;

    // Whether [offset, offset + size) lies in the mapped window, moving the
    // window on to cover it when it lies beyond.
    bool mapped(std::uint64_t offset, std::size_t size) {
        if (window_ && offset >= windowAt_ && offset + size <= windowAt_ + kWindow) return true;
        // Only a line past the window moves it on; one behind it or across
        // its end goes by pwrite.
        if (!mapping_ || (window_ && offset < windowAt_ + kWindow)) return false;
        const std::uint64_t at = offset & ~(kWindow - 1);
        if (offset + size > at + kWindow) return false;
        if (at + kWindow > reserved_) {
            const int error =
                posix_fallocate(fd_.get(), static_cast<off_t>(reserved_), static_cast<off_t>(at + kWindow - reserved_));
            if (error != 0) {
                mapping_ = false;
                failed_ = error == ENOSPC || error == EFBIG || error == EDQUOT;
                return false;
            }
            reserved_ = at + kWindow;
        }
        unmap();
        void* window = mmap(nullptr, kWindow, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), static_cast<off_t>(at));
        if (window == MAP_FAILED) {
            mapping_ = false;
            return false;
        }
        window_ = static_cast<char*>(window);
        windowAt_ = at;
        return true;
    }
    void unmap() {
        if (window_) munmap(window_, kWindow);
        window_ = nullptr;
    }

    posix::Fd fd_;
    char* window_ = nullptr;
    std::uint64_t windowAt_ = 0;  // where the window starts in the file
    std::uint64_t reserved_ = 0;  // the file's size, reserved tail included
    std::uint64_t end_ = 0;       // one past the last byte written
    bool mapping_ = true;         // false once the file system would not reserve or map
    bool failed_ = false;         // the disk is full: every later write fails
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
    bool rewind() override { return seek(0); }
    std::uint64_t size() override {
        struct stat st;
        return fstat(fd_.get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
    bool seek(std::uint64_t offset) override { return lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) >= 0; }

private:
    posix::Fd fd_;
};

}  // namespace

std::unique_ptr<RecordFile> PosixSystem::createRecordFile(const std::u16string& path) {
    // O_EXCL with O_CREAT refuses every existing name, a dangling link or a
    // device node included: the record of an earlier run is never replaced.
    // Read as well as write: a shared mapping of the file needs both.
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixRecordFile>(std::move(fd));
}

std::unique_ptr<InputFile> PosixSystem::openInputFile(const std::u16string& path) {
    // O_NONBLOCK: a FIFO put at the name must not hang the open; only a
    // regular file is read.
    posix::Fd fd(open(text::toUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
}

namespace {

int fdOf(OpenFolder& folder) { return static_cast<posix::PosixFolder&>(folder).fd(); }

// A regular file opened in `folder` without following a link at its name,
// and without blocking on a FIFO put there.
posix::Fd openRegularIn(OpenFolder& folder, NativeNameView name, int access, struct stat& st) {
    const posix::CName cname(name);
    if (!cname.valid()) return posix::Fd();
    posix::Fd fd(openat(fdOf(folder), cname.get(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return posix::Fd();
    return fd;
}

}  // namespace

std::unique_ptr<RecordFile> PosixSystem::createRecordIn(OpenFolder& folder, NativeNameView name) {
    const posix::CName cname(name);
    if (!cname.valid()) return nullptr;
    posix::Fd fd(openat(fdOf(folder), cname.get(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixRecordFile>(std::move(fd));
}

std::unique_ptr<InputFile> PosixSystem::openInputIn(OpenFolder& folder, NativeNameView name) {
    struct stat st;
    posix::Fd fd = openRegularIn(folder, name, O_RDONLY, st);
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
}

std::unique_ptr<RecordFile> PosixSystem::openRecordIn(OpenFolder& folder, NativeNameView name) {
    struct stat st;
    posix::Fd fd = openRegularIn(folder, name, O_RDWR, st);
    if (!fd.valid()) return nullptr;
    return std::make_unique<PosixRecordFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

bool PosixSystem::removeFileIn(OpenFolder& folder, NativeNameView name) {
    const posix::CName cname(name);
    return cname.valid() && unlinkat(fdOf(folder), cname.get(), 0) == 0;
}

bool PosixSystem::renameIn(OpenFolder& folder, NativeNameView from, NativeNameView to) {
    const posix::CName a(from), b(to);
    return a.valid() && b.valid() && posix::renameNoReplace(fdOf(folder), a.get(), fdOf(folder), b.get());
}

}  // namespace qm
