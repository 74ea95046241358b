// Copying and moving single files with the POSIX platform, on real folders.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct stat statOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

// The times every test file is made with. Reading the source may move its
// access time on, so the copy is held to these rather than to the source's.
constexpr struct timespec kAccessed = {1400000000, 987654321}, kModified = {1500000000, 123456789};

void setTimes(const fs::path& path) {
    const struct timespec times[2] = {kAccessed, kModified};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Bytes that differ from position to position, so that a misplaced chunk shows.
std::string pattern(std::size_t size, char salt = 0) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 7 + salt) & 0xFF);
    return s;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : old_(umask(mask)) {}
    ~ScopedUmask() { umask(old_); }

private:
    mode_t old_;
};

class PosixTransfer : public ::testing::Test {
protected:
    // Writes a file with a known mode and times, and notes how it looked.
    void make(const std::string& name, const std::string& content, mode_t mode = 0644) {
        dir.write(name, content);
        ASSERT_EQ(chmod((dir.path() / name).c_str(), mode), 0);
        setTimes(dir.path() / name);
    }
    // Whether a file still has the content, mode and modification time it was made with.
    void expectUntouched(const std::string& name, const std::string& content, mode_t mode = 0644) {
        EXPECT_EQ(dir.read(name), content) << name;
        struct stat st = statOf(dir.path() / name);
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
        EXPECT_TRUE(sameTime(st.st_mtim, kModified)) << name;
    }

    TempDir dir;
    PosixPlatform platform;
};

TEST_F(PosixTransfer, CopyKeepsContentModeAndTimes) {
    ScopedUmask mask(077);  // would strip group and other bits from a plain create
    struct Case {
        const char* name;
        std::size_t size;
        mode_t mode;
    } cases[] = {{"empty", 0, 0644}, {"group", 100, 0640}, {"program", 5000, 0755},
                 {"readonly", 70000, 0444}, {"large", 3 * 1024 * 1024 + 17, 0604}};
    fs::create_directory(dir.path() / "out");
    for (const Case& c : cases) {
        const std::string content = pattern(c.size);
        make(c.name, content, c.mode);
        const std::string to = std::string("out/") + c.name;
        ASSERT_EQ(platform.copyFile(dir.u16(c.name), dir.u16(to)), TransferOutcome::Done) << c.name;
        struct stat copy = statOf(dir.path() / to);  // before reading it moves the access time
        EXPECT_EQ(dir.read(to), content) << c.name;
        EXPECT_EQ(copy.st_mode & 07777, c.mode) << c.name;
        EXPECT_TRUE(sameTime(copy.st_mtim, kModified)) << c.name;
        EXPECT_TRUE(sameTime(copy.st_atim, kAccessed)) << c.name;
        expectUntouched(c.name, content, c.mode);
    }
}

TEST_F(PosixTransfer, CopyOntoAnExistingFileTouchesNeither) {
    const std::size_t big = 200 * 1024;  // several comparison chunks
    std::string lateDifference = pattern(big);
    lateDifference[big - 1] ^= 1;
    struct Case {
        const char* name;
        std::string source, existing;
        TransferOutcome outcome;
    } cases[] = {
        {"same-small", "hello", "hello", TransferOutcome::AlreadyThere},
        {"same-big", pattern(big), pattern(big), TransferOutcome::AlreadyThere},
        {"same-empty", "", "", TransferOutcome::AlreadyThere},
        {"differs-late", pattern(big), lateDifference, TransferOutcome::Failed},
        {"same-size", "hello", "world", TransferOutcome::Failed},
        {"longer", "hello", "hello!", TransferOutcome::Failed},
        {"shorter", "hello", "hell", TransferOutcome::Failed},
    };
    for (const Case& c : cases) {
        const std::string from = std::string("in/") + c.name, to = std::string("out/") + c.name;
        make(from, c.source, 0644);
        make(to, c.existing, 0600);
        EXPECT_EQ(platform.copyFile(dir.u16(from), dir.u16(to)), c.outcome) << c.name;
        expectUntouched(from, c.source, 0644);
        expectUntouched(to, c.existing, 0600);
    }
}

TEST_F(PosixTransfer, CopyDoesNotCountTheSourceItselfAsAlreadyThere) {
    // Counting these as copies would let a move delete the only copy.
    make("file", "data");
    fs::create_directory(dir.path() / "out");
    fs::create_symlink(dir.path() / "file", dir.path() / "out/file");
    EXPECT_EQ(platform.copyFile(dir.u16("file"), dir.u16("out/file")), TransferOutcome::Failed);
    EXPECT_EQ(platform.copyFile(dir.u16("file"), dir.u16("file")), TransferOutcome::Failed);
    expectUntouched("file", "data");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "out/file"));
}

TEST_F(PosixTransfer, CopyThatCannotStartCreatesNothing) {
    make("file", "data");
    fs::create_directory(dir.path() / "folder");
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(platform.copyFile(dir.u16("missing"), dir.u16("out/a")), TransferOutcome::Failed);
    EXPECT_EQ(platform.copyFile(dir.u16("folder"), dir.u16("out/b")), TransferOutcome::Failed);
    EXPECT_EQ(platform.copyFile(dir.u16("file"), dir.u16("nowhere/c")), TransferOutcome::Failed);
    EXPECT_EQ(platform.copyFile(dir.u16("file"), dir.u16("file/d")), TransferOutcome::Failed);
    EXPECT_EQ(dir.list("out"), std::vector<std::string>{});
    EXPECT_FALSE(dir.exists("nowhere"));
    expectUntouched("file", "data");
}

TEST_F(PosixTransfer, CopyOfAnUnreadableFileCreatesNothing) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads any file";
    make("secret", "data", 0);
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(platform.copyFile(dir.u16("secret"), dir.u16("out/secret")), TransferOutcome::Failed);
    EXPECT_EQ(dir.list("out"), std::vector<std::string>{});
}

TEST_F(PosixTransfer, CopyThatFailsHalfwayLeavesNoPartialFile) {
    // A file size limit makes the writes fail once the copy is under way.
    make("big", pattern(1024 * 1024));
    fs::create_directory(dir.path() / "out");
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limit = old;
    limit.rlim_cur = 64 * 1024;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const TransferOutcome outcome = platform.copyFile(dir.u16("big"), dir.u16("out/big"));
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(outcome, TransferOutcome::Failed);
    EXPECT_EQ(dir.list("out"), std::vector<std::string>{});
}

TEST_F(PosixTransfer, MoveRenames) {
    make("in/file", "data", 0640);
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(platform.moveFile(dir.u16("in/file"), dir.u16("out/file")), TransferOutcome::Done);
    EXPECT_FALSE(dir.exists("in/file"));
    expectUntouched("out/file", "data", 0640);
}

TEST_F(PosixTransfer, MoveNeverReplaces) {
    // Even an identical file stays: sorting that out is the copy's business.
    for (const char* existing : {"other", "data"}) {
        make("in/file", "data");
        make("out/file", existing);
        EXPECT_EQ(platform.moveFile(dir.u16("in/file"), dir.u16("out/file")), TransferOutcome::Failed);
        expectUntouched("in/file", "data");
        expectUntouched("out/file", existing);
    }
    fs::create_symlink(dir.path() / "gone", dir.path() / "out/link");
    EXPECT_EQ(platform.moveFile(dir.u16("in/file"), dir.u16("out/link")), TransferOutcome::Failed);
    expectUntouched("in/file", "data");
}

TEST_F(PosixTransfer, MoveThatCannotHappenLeavesTheSource) {
    make("file", "data");
    EXPECT_EQ(platform.moveFile(dir.u16("missing"), dir.u16("moved")), TransferOutcome::Failed);
    EXPECT_EQ(platform.moveFile(dir.u16("file"), dir.u16("nowhere/file")), TransferOutcome::Failed);
    EXPECT_EQ(platform.moveFile(dir.u16("file"), dir.u16("file/x")), TransferOutcome::Failed);
    EXPECT_FALSE(dir.exists("moved"));
    expectUntouched("file", "data");
}

}  // namespace
}  // namespace qm
