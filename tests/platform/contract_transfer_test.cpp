// Copying and moving one file: what a copy keeps, what is never replaced or
// left half-written, what never blocks, and what a move does that cannot rename.
#include <atomic>
#include <fstream>
#include <thread>

#include "platform/contract.h"

namespace qm::test {
namespace {

using ContractTransfer = Contract;
using enum TransferOutcome;
using Listing = std::vector<std::string>;

// What already has the destination name, and what a copy and a move make of
// it: a file published whole with its times and mode, nothing there replaced,
// no temporary file left, and only a move into a free name takes the source.
TEST_F(ContractTransfer, ATransferKeepsTheFileAndReplacesNothing) {
    const std::size_t big = 200 * 1024;  // several comparison chunks
    std::string late = bytes(big);
    late.back() ^= 1;
    enum There { Free, File, Folder, Link, LinkToSource };
    const struct {
        const char* name;
        std::string source;
        Mode mode;
        There there;
        std::string existing;
        TransferOutcome copied, moved;
    } cases[] = {
        {"empty", "", kPlain, Free, "", Copied, Moved},
        {"hidden", bytes(100), {0640, kHidden | kArchive}, Free, "", Copied, Moved},
        {"program", bytes(5000), {0755, kSystem | kArchive}, Free, "", Copied, Moved},
        {"readonly", bytes(70000), {0444, kReadOnly | kArchive}, Free, "", Copied, Moved},
        {"large", bytes(3 * 1024 * 1024 + 17), {0604, kArchive}, Free, "", Copied, Moved},
        {"same", "hello", kPlain, File, "hello", AlreadyThere, AlreadyThere},
        {"same-big", bytes(big), kPlain, File, bytes(big), AlreadyThere, AlreadyThere},
        {"same-empty", "", kPlain, File, "", AlreadyThere, AlreadyThere},
        {"differs-late", bytes(big), kPlain, File, late, Failed, Failed},
        {"same-size", "hello", kPlain, File, "world", Failed, Failed},
        {"longer", "hello", kPlain, File, "hello!", Failed, Failed},
        {"folder", "content", kPlain, Folder, "", Failed, Failed},
        {"link-to-nothing", "content", kPlain, Link, "", Failed, Failed},
        {"link-to-same", "hello", kPlain, Link, "hello", Failed, Failed},  // a link is no regular file
        {"link-to-source", "hello", kPlain, LinkToSource, "", Failed, Failed},  // else a move deletes the only copy
    };
    const Mode existingMode{0600, kReadOnly | kArchive};
    const std::string file = "照片\U0001F600.jpg";  // beyond the ANSI code page
    for (const auto& c : cases) {
        for (const bool moving : {false, true}) {
            const std::string top = std::string(c.name) + (moving ? "/move" : "/copy");
            const std::string in = top + "/in/" + file, out = top + "/out/" + file;
            make(in, c.source, c.mode);
            fs::create_directories(dir.native(top + "/out"));
            if (c.there == File) make(out, c.existing, existingMode);
            if (c.there == Folder) fs::create_directories(dir.native(out));
            if (c.there == Link && !c.existing.empty()) make(top + "/target", c.existing);
            if (c.there == Link && !dir.link(top + "/target", out)) continue;  // Wine makes none to files
            if (c.there == LinkToSource && !dir.link(in, out)) continue;
            const TransferResult result = transfer(moving, in, top + "/out");
            const TransferOutcome outcome = moving ? c.moved : c.copied;
            EXPECT_EQ(result.outcome, outcome) << top;
            EXPECT_EQ(result.facts.size, c.source.size()) << top;
            EXPECT_EQ(result.clash, outcome == Failed) << top;
            if (outcome == Moved) {
                EXPECT_FALSE(dir.exists(in)) << top;
            } else {
                expectAsMade(in, c.source, c.mode);
            }
            if (c.there == Free) {
                EXPECT_EQ(timesOf(dir.native(out)).accessed, kAccessed) << top;
                expectAsMade(out, c.source, c.mode);
            }
            if (c.there == File) expectAsMade(out, c.existing, existingMode);
            if (c.there == Link && !c.existing.empty()) expectAsMade(top + "/target", c.existing);
            if (c.there >= Folder) {
                EXPECT_FALSE(modeOf(dir.native(out))) << top;  // still the folder or the link
            }
            EXPECT_EQ(dir.list(top + "/out"), Listing{file}) << top;
        }
    }
}

// A copy is the source as it was when opened: one that does not keep to its
// size fails and leaves nothing behind.
TEST_F(ContractTransfer, ACopyIsASnapshotOrNothing) {
    fs::create_directories(dir.native("out"));
#ifndef _WIN32
    // Only Linux has /proc, whose files claim a size they do not keep.
    fs::create_directories(dir.native("in"));
    fs::create_symlink("/proc/self/status", dir.native("in/status"));
    fs::create_symlink("/proc/self/pagemap", dir.native("in/pagemap"));
    EXPECT_EQ(copy("in/status", "out"), Failed);
    EXPECT_EQ(copy("in/pagemap", "out"), Failed);
#endif
    // Larger than one read, so that it is copied in pieces while it grows.
    make("in/growing", bytes(32 << 20));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::ofstream out(dir.native("in/growing"), std::ios::binary | std::ios::app);
        while (!done) ASSERT_TRUE(out.write("more", 4).flush());
    });
    const TransferOutcome grown = copy("in/growing", "out");
    done = true;
    writer.join();
    EXPECT_EQ(grown, Failed);
    EXPECT_TRUE(fs::is_empty(dir.native("out")));
}

TEST_F(ContractTransfer, ATransferThatCannotStartCreatesNothing) {
    make("file", "data");
    fs::create_directory(dir.native("folder"));
    fs::create_directory(dir.native("out"));
    for (const bool moving : {false, true}) {
        for (const char* source : {"missing", "folder"}) {
            EXPECT_EQ(transfer(moving, source, "out").outcome, Failed) << source << moving;
        }
    }
    EXPECT_EQ(copy("file", ""), Failed);  // onto itself
    EXPECT_EQ(platform.openFolder(dir.u16("nowhere")), nullptr);
    EXPECT_EQ(platform.openFolder(dir.u16("file")), nullptr);
#ifndef _WIN32
    // Only POSIX shuts a file to its owner by permission bits; root reads it anyway.
    make("secret", "data", {0, 0});
    if (geteuid() != 0) {
        EXPECT_EQ(copy("secret", "out"), Failed);
    }
#endif
    EXPECT_EQ(dir.list("out"), Listing{});
    expectAsMade("file", "data");
}

#ifndef _WIN32
// Only POSIX makes writes fail on cue, by a limit on the size of files.
TEST_F(ContractTransfer, ACopyThatFailsHalfwayLeavesNothing) {
    make("big", bytes(1024 * 1024));
    fs::create_directory(dir.native("out"));
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_EQ(copy("big", "out"), Failed);
    }
    EXPECT_EQ(dir.list("out"), Listing{});
}

// Only POSIX folders hold FIFOs, which must neither hang a run nor be carried into a share.
TEST_F(ContractTransfer, SpecialFilesFailWithoutBlocking) {
    make("in/file", "data");
    ASSERT_EQ(mkfifo(dir.native("in/pipe").c_str(), 0644), 0);
    fs::create_directory(dir.native("out"));
    ASSERT_EQ(mkfifo(dir.native("out/file").c_str(), 0644), 0);
    for (bool moving : {false, true}) {
        EXPECT_EQ(transfer(moving, "in/pipe", "out").outcome, Failed) << moving;  // a FIFO as the source
        EXPECT_EQ(transfer(moving, "in/file", "out").outcome, Failed) << moving;  // a FIFO at the name
    }
    EXPECT_EQ(dir.list("out"), Listing{"file"});
    EXPECT_EQ(dir.list("in"), (Listing{"file", "pipe"}));
    expectAsMade("in/file", "data");
}
#endif

// A copied link delivers its content; a moved one moves as the link, whose
// own identity the result names, and what it leads to stays where it is.
TEST_F(ContractTransfer, ALinkDeliversItsContentWhenCopiedAndMovesAsTheLink) {
    const Mode mode{0640, kHidden | kArchive};
    make("data/target", "content", mode);
    fs::create_directories(dir.native("in"));
    fs::create_directories(dir.native("out"));
    if (!dir.link("data/target", "in/copied") || !dir.link("data/target", "in/moved")) {
        GTEST_SKIP() << "no links to files here";
    }
    const FileStamp link = platform.stampOf(*folder("in"), name("moved")).value();
    EXPECT_EQ(copy("in/copied", "out"), Copied);
    const TransferResult moved = transfer(true, "in/moved", "out");
    EXPECT_EQ(moved.outcome, Moved);
    EXPECT_EQ(moved.id, link.id);
    expectAsMade("out/copied", "content", mode);  // not a link
    EXPECT_TRUE(fs::is_symlink(dir.native("out/moved")));
    EXPECT_EQ(fs::read_symlink(dir.native("out/moved")), dir.native("data/target"));
    EXPECT_EQ(dir.list("in"), Listing{"copied"});
    expectAsMade("data/target", "content", mode);
}

// A move that cannot rename copies, publishes, and only then removes the
// source; where the source cannot go, the result says it was only copied.
TEST_F(ContractTransfer, AMoveThatCannotRenameOnlyCopies) {
    make("stuck/file", "kept");
    fs::create_directory(dir.native("out"));
    {
        const auto stuck = undeletable(dir.native("stuck/file"));
        if (!stuck) GTEST_SKIP() << "no file here can be kept from deletion";
        EXPECT_EQ(move("stuck/file", "out"), Copied);
    }
    expectAsMade("stuck/file", "kept");
    expectAsMade("out/file", "kept");
}

TEST_F(ContractTransfer, AMoveToAnotherVolumeCopiesAndThenDeletes) {
    // Under Wine, Z: is the host's root, where /dev/shm is another file system than C:.
    const fs::path elsewhere = kWindows ? fs::path(L"Z:\\dev\\shm") : fs::path("/dev/shm");
    if (!fs::is_directory(elsewhere)) GTEST_SKIP() << "no second volume";
    TempDir other(elsewhere);
    other.write("probe", "x");
    make("in/文件.txt", "far");
    make("in/readonly.txt", "stays", {0444, kReadOnly | kArchive});
    auto in = folder("in"), far = platform.openFolder(other.u16());
    ASSERT_TRUE(in && far);
    if (platform.stampOf(*in, name("文件.txt"))->id.volume == platform.stampOf(*far, name("probe"))->id.volume)
        GTEST_SKIP() << elsewhere << " is on the same volume";
    EXPECT_EQ(platform.moveFile(*in, name("文件.txt"), *far, nullptr).outcome, Moved);
    EXPECT_FALSE(dir.exists("in/文件.txt"));
    EXPECT_EQ(other.read("文件.txt"), "far");
    EXPECT_EQ(modeOf(other.native("文件.txt")), kWindows ? kPlain.windows : kPlain.posix);
    EXPECT_EQ(timesOf(other.native("文件.txt")).modified, kModified);
    // A read-only file asks not to be deleted on Windows; on POSIX only its folder decides.
    EXPECT_EQ(platform.moveFile(*in, name("readonly.txt"), *far, nullptr).outcome, kWindows ? Copied : Moved);
    EXPECT_EQ(dir.exists("in/readonly.txt"), kWindows);
    EXPECT_EQ(other.read("readonly.txt"), "stays");
}

#ifndef _WIN32
// Only POSIX has set-user-ID and set-group-ID bits: root's copy of another
// user's setuid program must not run as root.
TEST_F(ContractTransfer, CopiesNeverGainPrivileges) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to own files of other users";
    fs::create_directory(dir.native("out"));
    const struct {
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
    for (const auto& c : cases) {
        make(c.name, "program");
        ASSERT_EQ(chown(dir.native(c.name).c_str(), c.owner, c.group), 0);
        ASSERT_EQ(chmod(dir.native(c.name).c_str(), c.mode), 0);
        ASSERT_EQ(copy(c.name, "out"), Copied);
        expectAsMade(std::string("out/") + c.name, "program", {c.copied, 0});
    }
}
#endif

}  // namespace
}  // namespace qm::test
