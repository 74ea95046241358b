// Copying and moving single files with the POSIX platform, on real folders.
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <atomic>
#include <functional>
#include <thread>
#include <optional>
#include <string>

#include "platform/posix/posix_folder.h"
#include "platform/posix/posix_system.h"
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
    // Transfers the file `from` to the same name in the folder `to` (both
    // relative to the temporary folder); a folder that cannot be opened
    // fails the transfer, as in a run.
    TransferOutcome transfer(bool moving, const std::string& from, const std::string& to) {
        const fs::path source(from);
        auto in = platform->openFolder(dir.u16(source.parent_path().string()));
        auto out = platform->openFolder(dir.u16(to));
        if (!in || !out) return TransferOutcome::Failed;
        const std::string name = source.filename().string();
        return (moving ? platform->moveFile(*in, name, *out, nullptr) : platform->copyFile(*in, name, *out, nullptr)).outcome;
    }
    TransferOutcome copy(const std::string& from, const std::string& to) { return transfer(false, from, to); }
    TransferOutcome move(const std::string& from, const std::string& to) { return transfer(true, from, to); }

    test::TempDir dir;
    std::optional<PosixSystem> platform{std::in_place};
};

TEST_F(PosixTransfer, CopyKeepsContentModeAndTimes) {
    // A umask that would strip group and other bits from a plain create; the
    // platform reads it when it is made.
    const mode_t oldMask = umask(077);
    platform.emplace();
    fs::create_directory(dir.path() / "out");
    struct Case {
        std::string name;
        std::size_t size;
        mode_t mode;
    } cases[] = {{"empty", 0, 0644}, {"group", 100, 0640}, {"program", 5000, 0755}, {"readonly", 70000, 0444},
                 {"large", 3 * 1024 * 1024 + 17, 0604}};
    for (const Case& c : cases) {
        make(c.name, bytes(c.size), c.mode);
        ASSERT_EQ(copy(c.name, "out"), TransferOutcome::Copied) << c.name;
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
        EXPECT_EQ(copy("in/" + c.name, "out"), c.outcome) << c.name;
        expectAsMade("in/" + c.name, c.source, 0644);
        expectAsMade("out/" + c.name, c.existing, 0600);
    }
}

TEST_F(PosixTransfer, CopyDoesNotTakeTheSourceItselfForACopy) {
    // Counting these as already there would let a move delete the only copy.
    make("in/file", "data");
    fs::create_directory(dir.path() / "out");
    fs::create_symlink(dir.path() / "in/file", dir.path() / "out/file");
    EXPECT_EQ(copy("in/file", "out"), TransferOutcome::Failed);
    EXPECT_EQ(copy("in/file", "in"), TransferOutcome::Failed);
    expectAsMade("in/file", "data");
}

// A copy is the source as it was when opened: one that claims a size it
// does not keep to (a /proc file of size 0 that never ends, a file that
// grows while it is copied) fails and leaves nothing behind.
TEST_F(PosixTransfer, ACopyIsASnapshotOrNothing) {
    fs::create_directories(dir.path() / "in");
    fs::create_directories(dir.path() / "out");
    fs::create_symlink("/proc/self/status", dir.path() / "in/status");
    fs::create_symlink("/proc/self/pagemap", dir.path() / "in/pagemap");
    EXPECT_EQ(copy("in/status", "out"), TransferOutcome::Failed);
    EXPECT_EQ(copy("in/pagemap", "out"), TransferOutcome::Failed);

    // Larger than one read, so that it is copied in pieces while it grows.
    make("in/growing", bytes(32 << 20));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        const int fd = open((dir.path() / "in/growing").c_str(), O_WRONLY | O_APPEND);
        while (!done) ASSERT_EQ(write(fd, "more", 4), 4);
        close(fd);
    });
    const TransferOutcome grown = copy("in/growing", "out");
    done = true;
    writer.join();
    EXPECT_EQ(grown, TransferOutcome::Failed);
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));
}

TEST_F(PosixTransfer, CopyThatCannotStartCreatesNothing) {
    make("file", "data");
    make("secret", "data", 0);
    fs::create_directory(dir.path() / "folder");
    fs::create_directory(dir.path() / "out");
    EXPECT_EQ(copy("missing", "out"), TransferOutcome::Failed);
    EXPECT_EQ(copy("folder", "out"), TransferOutcome::Failed);
    EXPECT_EQ(platform->openFolder(dir.u16("nowhere")), nullptr);
    EXPECT_EQ(platform->openFolder(dir.u16("file")), nullptr);
    if (geteuid() != 0) {  // root reads it anyway
        EXPECT_EQ(copy("secret", "out"), TransferOutcome::Failed);
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
    const TransferOutcome outcome = copy("big", "out");
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(outcome, TransferOutcome::Failed);
    EXPECT_EQ(dir.list("out"), Names{});
}

TEST_F(PosixTransfer, MoveRenamesButNeverReplaces) {
    struct Case {
        const char* name;
        std::function<void()> taken;  // what is at the destination name already
        TransferOutcome outcome;
    } cases[] = {
        {"other", [&] { make("out/other", "other"); }, TransferOutcome::Failed},
        {"link", [&] { fs::create_symlink(dir.path() / "gone", dir.path() / "out/link"); }, TransferOutcome::Failed},
        {"same", [&] { make("out/same", "data", 0640); }, TransferOutcome::AlreadyThere},
    };
    for (const Case& c : cases) {
        make(std::string("in/") + c.name, "data", 0640);
        c.taken();
        EXPECT_EQ(move(std::string("in/") + c.name, "out"), c.outcome) << c.name;
        expectAsMade(std::string("in/") + c.name, "data", 0640);  // the source stays
    }
    expectAsMade("out/other", "other");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "out/link"));

    make("in/file", "data", 0640);
    EXPECT_EQ(move("missing/file", "out"), TransferOutcome::Failed);
    EXPECT_EQ(move("in/file", "out"), TransferOutcome::Moved);
    EXPECT_EQ(dir.list("in"), (Names{"link", "other", "same"}));
    expectAsMade("out/file", "data", 0640);
}

// Special files must neither hang a run nor be carried into a share.
TEST_F(PosixTransfer, SpecialFilesFailWithoutBlocking) {
    make("in/file", "data");
    ASSERT_EQ(mkfifo((dir.path() / "in/pipe").c_str(), 0644), 0);
    fs::create_directory(dir.path() / "out");
    ASSERT_EQ(mkfifo((dir.path() / "out/file").c_str(), 0644), 0);
    for (bool moving : {false, true}) {
        EXPECT_EQ(transfer(moving, "in/pipe", "out"), TransferOutcome::Failed) << moving;  // a FIFO as the source
        EXPECT_EQ(transfer(moving, "in/file", "out"), TransferOutcome::Failed) << moving;  // a FIFO at the name
    }
    EXPECT_EQ(dir.list("out"), Names{"file"});
    EXPECT_EQ(dir.list("in"), (Names{"file", "pipe"}));
    expectAsMade("in/file", "data");
}

// A symbolic link in the source folder delivers what it points to, also in a
// move: a link moved into a share may lead nowhere from there.
TEST_F(PosixTransfer, ALinkDeliversItsContentAndAMoveRemovesOnlyTheLink) {
    make("data/target", "content", 0640);
    fs::create_directories(dir.path() / "in");
    fs::create_directories(dir.path() / "out");
    fs::create_symlink("../data/target", dir.path() / "in/copied");
    fs::create_symlink("../data/target", dir.path() / "in/moved");
    EXPECT_EQ(copy("in/copied", "out"), TransferOutcome::Copied);
    EXPECT_EQ(move("in/moved", "out"), TransferOutcome::Moved);
    for (const char* name : {"out/copied", "out/moved"}) {
        EXPECT_FALSE(fs::is_symlink(dir.path() / name)) << name;
        expectAsMade(name, "content", 0640);
    }
    EXPECT_EQ(dir.list("in"), Names{"copied"});
    expectAsMade("data/target", "content", 0640);
}

// A move that cannot rename (another file system, a source folder whose
// entries cannot be removed) copies, publishes, and only then removes the
// source; where the source cannot go, the result says it was only copied.
TEST_F(PosixTransfer, MoveThatCannotRename) {
    struct stat here {}, shm {};
    if (stat("/dev/shm", &shm) == 0 && stat(dir.path().c_str(), &here) == 0 && shm.st_dev != here.st_dev) {
        test::TempDir other("/dev/shm");
        make("in/far", "across", 0600);
        auto in = platform->openFolder(dir.u16("in")), far = platform->openFolder(other.u16());
        EXPECT_EQ(platform->moveFile(*in, "far", *far, nullptr).outcome, TransferOutcome::Moved);
        EXPECT_FALSE(dir.exists("in/far"));
        EXPECT_EQ(other.read("far"), "across");
    }
    make("stuck/file", "kept", 0644);
    fs::create_directory(dir.path() / "out");
    const std::string stuck = (dir.path() / "stuck").string();
    bool locked = false;
    if (geteuid() == 0) {
        // Root may remove entries from any folder but an append-only one.
        posix::Fd folder(open(stuck.c_str(), O_RDONLY | O_DIRECTORY));
        int flags = 0;
        locked = ioctl(folder.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
                 (flags |= FS_APPEND_FL, ioctl(folder.get(), FS_IOC_SETFLAGS, &flags) == 0);
    } else {
        locked = chmod(stuck.c_str(), 0555) == 0;
    }
    if (!locked) GTEST_SKIP() << "cannot make a folder whose entries stay";
    const TransferOutcome outcome = move("stuck/file", "out");
    if (geteuid() == 0) {
        posix::Fd folder(open(stuck.c_str(), O_RDONLY | O_DIRECTORY));
        int flags = 0;
        ioctl(folder.get(), FS_IOC_GETFLAGS, &flags);
        flags &= ~FS_APPEND_FL;
        ioctl(folder.get(), FS_IOC_SETFLAGS, &flags);
    }
    EXPECT_EQ(outcome, TransferOutcome::Copied);
    expectAsMade("stuck/file", "kept");
    expectAsMade("out/file", "kept");
}

// Set-user-ID and set-group-ID survive only a copy that keeps the owner and
// group: root's copy of another user's setuid program must not run as root.
TEST_F(PosixTransfer, CopiesNeverGainPrivileges) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to own files of other users";
    fs::create_directory(dir.path() / "out");
    struct Case {
        const char* name;
        uid_t owner;
        gid_t group;
        mode_t mode, copied;
    } cases[] = {
        {"others-setuid", 1234, 1234, 04755, 0755},
        {"others-setgid", 0, 1234, 02755, 0755},
        {"own-setuid", 0, 0, 06755, 06755},
        {"others-sticky", 1234, 1234, 01755, 01755},
    };
    for (const Case& c : cases) {
        make(c.name, "program");
        const std::string path = (dir.path() / c.name).string();
        ASSERT_EQ(chown(path.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        ASSERT_EQ(copy(c.name, "out"), TransferOutcome::Copied);
        expectAsMade(std::string("out/") + c.name, "program", c.copied);
    }
}

}  // namespace
}  // namespace qm
