#include "platform/contract.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/win32_folders.h"
#else
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>

#include "platform/posix/posix_folders.h"
#endif

#include <algorithm>

namespace qm::test {

std::string bytes(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 131 + i / 7);
    return s;
}

#ifdef _WIN32
std::optional<std::uint32_t> modeOf(const fs::path& file) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    constexpr DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & notAFile) != 0) return std::nullopt;
    return attributes & (kReadOnly | kHidden | kSystem | kArchive);
}

void setMode(const fs::path& file, Mode mode) { ASSERT_TRUE(SetFileAttributesW(file.c_str(), mode.windows)) << file; }

Times timesOf(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) << file;
    return {win32::timeOf(data.ftLastAccessTime), win32::timeOf(data.ftLastWriteTime)};
}

void setTimes(const fs::path& file, Times times) {
    FILETIME both[2];
    for (int i = 0; i < 2; ++i) {
        const FileTime& time = i == 0 ? times.accessed : times.modified;
        const auto ticks = static_cast<std::uint64_t>((time.seconds + 11644473600LL) * 10000000 + time.nanoseconds / 100);
        both[i] = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    }
    win32::Handle handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));  // folders too
    EXPECT_TRUE(SetFileTime(handle.get(), nullptr, &both[0], &both[1])) << file;
}

std::shared_ptr<void> undeletable(const fs::path& file) {
    // Shared for reading only: no one may delete or rename it meanwhile.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return held == INVALID_HANDLE_VALUE ? nullptr : std::shared_ptr<void>(held, CloseHandle);
}
#else
namespace {

FileTime timeOf(const timespec& time) {
    return {static_cast<std::int64_t>(time.tv_sec), static_cast<std::uint32_t>(time.tv_nsec)};
}

// Whether the folder now keeps (or again gives up) its entries: by
// permission bits, or for root, whom they do not stop, the append-only flag.
bool keepEntries(const fs::path& folder, bool keep) {
    if (geteuid() != 0) return chmod(folder.c_str(), keep ? 0555 : 0755) == 0;
    posix::Fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY));
    int flags = 0;
    if (ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) return false;
    flags = keep ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    return ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

}  // namespace

std::optional<std::uint32_t> modeOf(const fs::path& file) {
    struct stat st {};
    if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return st.st_mode & 07777;
}

void setMode(const fs::path& file, Mode mode) { ASSERT_EQ(chmod(file.c_str(), mode.posix), 0) << file; }

Times timesOf(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(stat(file.c_str(), &st), 0) << file;
    return {timeOf(st.st_atim), timeOf(st.st_mtim)};
}

void setTimes(const fs::path& file, Times times) {
    const timespec both[2] = {{times.accessed.seconds, times.accessed.nanoseconds},
                              {times.modified.seconds, times.modified.nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), both, 0), 0) << file;
}

std::shared_ptr<void> undeletable(const fs::path& file) {
    if (!keepEntries(file.parent_path(), true)) return nullptr;
    return std::shared_ptr<void>(new fs::path(file.parent_path()), [](void* folder) {
        keepEntries(*static_cast<fs::path*>(folder), false);
        delete static_cast<fs::path*>(folder);
    });
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) : handler(signal(SIGXFSZ, SIG_IGN)) {
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit limit{bytes, old.rlim_max};
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, handler);
}
#endif

void Contract::make(const std::string& relative, const std::string& content, Mode mode) {
    dir.write(relative, content);
    setTimes(dir.native(relative), {kAccessed, kModified});
    setMode(dir.native(relative), mode);
}

void Contract::expectAsMade(const std::string& relative, const std::string& content, Mode mode) {
    EXPECT_EQ(modeOf(dir.native(relative)), kWindows ? mode.windows : mode.posix) << relative;
    EXPECT_EQ(timesOf(dir.native(relative)).modified, kModified) << relative;
    EXPECT_EQ(dir.read(relative), content) << relative;
}

std::optional<Contract::Names> Contract::list(const std::u16string& folder) {
    FolderNames names;
    names.add(text::nativeName(u"left over"));
    if (!platform.listFolder(folder, names)) {
        EXPECT_EQ(names.size(), 0u) << "a failed listing leaves names behind";
        return std::nullopt;
    }
    Names text;
    for (std::size_t i = 0; i < names.size(); ++i) text.push_back(text::nameText(names.name(i)));
    std::sort(text.begin(), text.end());
    return text;
}

std::u16string Contract::spelt(const std::string& path) {
    std::u16string text = text::fromUtf8(path);
    std::replace(text.begin(), text.end(), u'/', kSep);
    return text;
}

TransferResult Contract::transfer(bool moving, const std::string& from, const std::string& to) {
    const std::size_t slash = from.rfind('/');
    auto in = folder(slash == std::string::npos ? "" : from.substr(0, slash)), out = folder(to);
    if (!in || !out) return {};
    const NativeName file = name(from.substr(slash + 1));  // npos + 1: the whole name
    return moving ? platform.moveFile(*in, file, *out, nullptr) : platform.copyFile(*in, file, *out, nullptr);
}

}  // namespace qm::test
