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
using Names = std::vector<std::string>;

// The times every test file is made with. Reading a file may move its access
// time on, so copies are held to these rather than to the source's.
constexpr timespec kAccessed = {1400000000, 987654321}, kModified = {1500000000, 123456789};

bool operator==(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Bytes that differ from position to position, so that a misplaced chunk shows.
std::string bytes(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 131 + i / 7);
    return s;
}

class PosixTransfer : public ::testing::Test {
protected:
    void make(const std::string& name, const std::string& content, mode_t mode = 0644) {
        dir.write(name, content);
        const timespec times[2] = {kAccessed, kModified};
        ASSERT_EQ(chmod((dir.path() / name).c_str(), mode), 0);
        ASSERT_EQ(utimensat(AT_FDCWD, (dir.path() / name).c_str(), times, 0), 0);
    }
    // Whether a file still has the content, mode and modification time it was made with.
    void expectAsMade(const std::string& name, const std::string& content, mode_t mode = 0644) {
        struct stat st {};
        ASSERT_EQ(lstat((dir.path() / name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
        EXPECT_TRUE(st.st_mtim == kModified) << name;
        EXPECT_EQ(dir.read(name), content) << name;
    }
    TransferOutcome copy(const std::string& from, const std::string& to) {
        return platform.copyFile(dir.u16(from), dir.u16(to));
    }
    TransferOutcome move(const std::string& from, const std::string& to) {
        return platform.moveFile(dir.u16(from), dir.u16(to));
    }

    test::TempDir dir;
    PosixPlatform platform;
};

TEST_F(PosixTransfer, CopyKeepsContentModeAndTimes) {
    const mode_t oldMask = umask(077);  // would strip group and other bits from a plain create
    fs::create_directory(dir.path() / "out");
    struct Case {
        std::string name;
        std::size_t size;
        mode_t mode;
    } cases[] = {{"empty", 0, 0644}, {"group", 100, 0640}, {"program", 5000, 0755}, {"readonly", 70000, 0444},
                 {"large", 3 * 1024 * 1024 + 17, 0604}};
    for (const Case& c : cases) {
        make(c.name, bytes(c.size), c.mode);
        ASSERT_EQ(copy(c.name, "out/" + c.name), TransferOutcome::Done) << c.name;
        struct stat st {};
        ASSERT_EQ(stat((dir.path() / "out" / c.name).c_str(), &st), 0);
        EXPECT_TRUE(st.st_atim == kAccessed) << c.name;  // before expectAsMade reads it
        expectAsMade("out/" + c.name, bytes(c.size), c.mode);
    }
    umask(oldMask);
}

TEST_F(PosixTransfer, CopyOntoAnExistingFileTouchesNeither) {
    const std::size_t big = 200 * 1024;  // several comparison chunks
    std::string lateDifference = bytes(big);
    lateDifference.back() ^= 1;
    struct Case {
        std::string name, source, existing;
        TransferOutcome outcome;
    } cases[] = {
        {"same", "hello", "hello", TransferOutcome::AlreadyThere},
        {"same-big", bytes(big), bytes(big), TransferOutcome::AlreadyThere},
        {"same-empty", "", "", TransferOutcome::AlreadyThere},
        {"differs-late", bytes(big), lateDifference, TransferOutcome::Failed},
        {"same-size", "hello", "world", TransferOutcome::Failed},
        {"longer", "hello", "hello!", TransferOutcome::Failed},
    };
    for (const Case& c : cases) {
        make("in/" + c.name, c.source, 0644);
        make("out/" + c.name, c.existing, 0600);
        EXPECT_EQ(copy("in/" + c.name, "out/" + c.name), c.outcome) << c.name;
        expectAsMade("in/" + c.name, c.source, 0644);
        expectAsMade("out/" + c.name, c.existing, 0600);
    }
}

TEST_F(PosixTransfer, CopyDoesNotTakeTheSourceItselfForACopy) {
    // Counting these as already there would let a move delete the only copy.
    make("file", "data");
    fs::create_symlink(dir.path() / "file", dir.path() / "link");
    EXPECT_EQ(copy("file", "link"), TransferOutcome::Failed);
    EXPECT_EQ(copy("file", "file"), TransferOutcome::Failed);
    expectAsMade("file", "data");
}

TEST_F(PosixTransfer, CopyThatCannotStartCreatesNothing) {
    make("file", "data");
    make("secret", "data", 0);
    fs::create_directory(dir.path() / "folder");
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(copy("missing", "out/a"), TransferOutcome::Failed);
    EXPECT_EQ(copy("folder", "out/b"), TransferOutcome::Failed);
    EXPECT_EQ(copy("file", "nowhere/c"), TransferOutcome::Failed);
    EXPECT_EQ(copy("file", "file/d"), TransferOutcome::Failed);
    if (geteuid() != 0) {  // root reads it anyway
        EXPECT_EQ(copy("secret", "out/e"), TransferOutcome::Failed);
    }
    EXPECT_EQ(dir.list("out"), Names{});
    expectAsMade("file", "data");
}

TEST_F(PosixTransfer, CopyThatFailsHalfwayLeavesNoPartialFile) {
    // A file size limit makes the writes fail once the copy is under way.
    make("big", bytes(1024 * 1024));
    fs::create_directory(dir.path() / "out");
    rlimit old, limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    limit = {64 * 1024, old.rlim_max};
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const TransferOutcome outcome = copy("big", "out/big");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(outcome, TransferOutcome::Failed);
    EXPECT_EQ(dir.list("out"), Names{});
}

TEST_F(PosixTransfer, MoveRenamesButNeverReplaces) {
    make("in/file", "data", 0640);
    make("out/other", "other");
    make("out/same", "data", 0640);  // identical or not, it stays: sorting that out is the copy's business
    fs::create_symlink(dir.path() / "gone", dir.path() / "out/link");
    for (const char* taken : {"out/other", "out/same", "out/link"}) {
        EXPECT_EQ(move("in/file", taken), TransferOutcome::Failed) << taken;
    }
    expectAsMade("out/other", "other");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "out/link"));

    EXPECT_EQ(move("in/file", "nowhere/file"), TransferOutcome::Failed);
    EXPECT_EQ(move("in/file", "in/file/x"), TransferOutcome::Failed);
    EXPECT_EQ(move("missing", "out/missing"), TransferOutcome::Failed);
    expectAsMade("in/file", "data", 0640);

    EXPECT_EQ(move("in/file", "out/file"), TransferOutcome::Done);
    EXPECT_EQ(dir.list("in"), Names{});
    expectAsMade("out/file", "data", 0640);
}

}  // namespace
}  // namespace qm
