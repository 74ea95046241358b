// The ways of dealing beyond copying and moving: by ratio into named shares,
// with subfolders, links, clones, lists and a common set. Each is what its
// dry run says, is recorded, and is taken back byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "batch/batch_fixture.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class BatchModesTest : public BatchRecordTest {
protected:
    // Three class folders of 40, 20 and 10 files and 5 files of the import
    // folder's own; a folder below one of them.
    void makeClasses() {
        makeFiles(dir, "src/cats", 40, ".jpg");
        makeFiles(dir, "src/dogs", 20, ".jpg");
        makeFiles(dir, "src/dogs/puppies", 10, ".jpg");
        makeFiles(dir, "src", 5, ".jpg");
        fs::create_directories(dir.native("out"));
    }
    // How many files each share folder holds below `folder` ("" for all).
    std::map<std::string, std::size_t> counts(const std::string& below = "") {
        std::map<std::string, std::size_t> n;
        for (const std::string& share : dir.list("out")) {
            if (!fs::is_directory(dir.native("out/" + share))) continue;
            const fs::path folder = dir.native("out/" + share + (below.empty() ? "" : "/" + below));
            std::size_t files = 0;
            if (fs::is_directory(folder)) {
                for (const auto& e : fs::recursive_directory_iterator(folder)) files += fs::is_regular_file(e.symlink_status()) || fs::is_symlink(e.symlink_status());
            }
            n[share] = files;
        }
        return n;
    }
};

struct Mode {
    const char* name;
    std::vector<std::string> args;
    bool needsLinks;  // the system must make symbolic links
};

class EveryMode : public BatchModesTest, public ::testing::WithParamInterface<Mode> {};

// What the dry run prints the run does, and the undo of its record brings
// every folder back as it was.
TEST_P(EveryMode, IsItsDryRunAndIsTakenBack) {
    makeClasses();
    if (GetParam().needsLinks && !dir.link("src/f000.jpg", "probe")) GTEST_SKIP() << "no links to files here";
    fs::remove(dir.native("probe"));
    const std::vector<std::string> before = dir.tree();
    std::vector<std::string> args = dealArgs("out", GetParam().args);
    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    ASSERT_EQ(run(dry), 0) << err.str();
    const std::string plan = out.str();
    EXPECT_EQ(dir.tree(), before);
    args.insert(args.end(), {"--manifest", path("run.manifest")});
    ASSERT_EQ(run(args), 0) << out.str() << err.str();
    EXPECT_EQ(rows(dir.read("run.manifest"), 3), rows(plan, 3));
    EXPECT_NE(dir.tree(), before);
    ASSERT_EQ(undo(), 0) << out.str() << err.str();
    fs::remove(dir.native("run.manifest"));
    EXPECT_EQ(dir.tree(), before);
}

const Mode kModes[] = {
    {"ratio_named", {"--ratio", "8:1:1", "--names", "train,val,test"}, false},
    {"subfolders_by_folder_moved", {"--subfolders", "--by-folder", "--ratio", "8:1:1", "--move"}, false},
    {"subfolders_kept_whole_path", {"--subfolders", "--shares", "3", "--full-path"}, false},
    {"hard_links", {"--subfolders", "--shares", "2", "--link", "hard"}, false},
    {"symbolic_links", {"--ratio", "1:2", "--link", "symbolic"}, true},
    {"clones", {"--subfolders", "--shares", "2", "--link", "clone"}, false},
    {"lists", {"--subfolders", "--ratio", "3:1", "--names", "a,b", "--lists"}, false},
    {"common_set", {"--subfolders", "--shares", "4", "--common", "3"}, false},
};
INSTANTIATE_TEST_SUITE_P(Modes, EveryMode, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

// Folder by folder, every share gets its part of every folder (8:1:1 of
// 40, 20 and 10 files: 32/16/8, then 4/2/1 twice), and each file keeps its
// folder below its share.
TEST_F(BatchModesTest, FolderByFolderEveryShareGetsItsPart) {
    makeClasses();
    ASSERT_EQ(run(dealArgs("out", {"--subfolders", "--by-folder", "--ratio", "8:1:1", "--names", "a,b,c"})), 0);
    using Counts = std::map<std::string, std::size_t>;
    EXPECT_EQ(counts("cats"), (Counts{{"src_分发a", 32}, {"src_分发b", 4}, {"src_分发c", 4}}));
    EXPECT_EQ(counts("dogs/puppies"), (Counts{{"src_分发a", 8}, {"src_分发b", 1}, {"src_分发c", 1}}));
    EXPECT_EQ(counts(), (Counts{{"src_分发a", 60}, {"src_分发b", 8}, {"src_分发c", 7}}));
    EXPECT_TRUE(dir.exists("out/src_分发a/dogs/puppies"));
}

// A link is never followed: one in the import folder in a folder's place is
// not entered (and counted), one planted in a share's folder's place makes
// that folder's files fail rather than land elsewhere.
TEST_F(BatchModesTest, FoldersAreNeverReachedThroughLinks) {
    makeFiles(dir, "src/cats", 4, ".jpg");
    makeFiles(dir, "elsewhere", 3, ".jpg");
    if (!dir.link("elsewhere", "src/linked")) GTEST_SKIP() << "no links to folders here";
    fs::create_directories(dir.native("out/src_分发1"));
    dir.link("elsewhere", "out/src_分发1/cats");
    EXPECT_EQ(run(dealArgs("out", {"--subfolders", "--shares", "1"})), 1);
    EXPECT_NE(out.str().find("另有1个链接到别处的文件夹未进入。"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("分发失败4份"), std::string::npos) << out.str();
    EXPECT_EQ(dir.list("elsewhere").size(), 3u);
}

// A link is taken back only while it is what the run made: a hard link whose
// source was replaced is the last of its file and stays, as does a symbolic
// link made anew to point elsewhere.
TEST_F(BatchModesTest, ALinkChangedSinceTheRunStays) {
    makeFiles(dir, "src", 2, ".jpg");
    for (const char* kind : {"hard", "symbolic"}) {
        if (std::string(kind) == "symbolic" && !dir.link("src/f000.jpg", "probe")) continue;
        fs::remove(dir.native("probe"));
        ASSERT_EQ(run(dealArgs(std::string("out_") + kind, {"--shares", "1", "--link", kind, "--manifest",
                                                            path(std::string(kind) + ".manifest")})), 0)
            << err.str();
        const std::string share = std::string("out_") + kind + "/src_分发1/";
        if (std::string(kind) == "hard") {
            fs::remove(dir.native("src/f000.jpg"));
            dir.write("src/f000.jpg", "a new file under the old name");
        } else {
            fs::remove(dir.native(share + "f000.jpg"));
            dir.link("src/f001.jpg", share + "f000.jpg");
        }
        EXPECT_EQ(run({"--undo", path(std::string(kind) + ".manifest")}), 1) << kind;
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir.native(share + "f000.jpg")))) << kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.native(share + "f001.jpg")))) << kind;
        if (std::string(kind) == "hard") {
            EXPECT_EQ(dir.read(share + "f000.jpg"), "f000");  // the original's content, kept
        }
        fs::remove(dir.native("src/f000.jpg"));
        dir.write("src/f000.jpg", "f000");
    }
}

// Whatever cannot be dealt as asked is refused with the option named and
// nothing made.
TEST_F(BatchModesTest, BadInputMakesNothing) {
    makeFiles(dir, "src", 5, ".jpg");
    const struct {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"--ratio", "8"}, "--ratio"},
        {{"--ratio", "0:1"}, "--ratio"},
        {{"--ratio", "a:b"}, "--ratio"},
        {{"--ratio", "1:1", "--names", "x"}, "--names"},
        {{"--ratio", "1:1", "--names", "x,x"}, "--names"},
        {{"--ratio", "1:1", "--names", "x,.."}, "--names"},
        {{"--ratio", "1:1", "--names", "x,a/b"}, "--names"},
        {{"--ratio", "1:1", "--names", ",y"}, "--names"},
        {{"--common", "5"}, "--common"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(dealArgs("out", c.args)), 2) << c.said;
        EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
        EXPECT_TRUE(dir.list("out").empty()) << c.said;
    }
    const std::vector<std::vector<std::string>> usage = {
        {"--ratio", "1:1", "--shares", "2"}, {"--names", "a,b"},         {"--by-folder"},
        {"--subfolders", "--by-folder", "--per-share", "2"},              {"--link", "soft"},
        {"--link", "hard", "--move"},        {"--lists", "--move"},      {"--common", "1", "--move"},
        {"--common", "0"},
    };
    for (const auto& args : usage) {
        std::vector<std::string> all = dealArgs("out", args);
        EXPECT_NE(batch::parseOptions(all).error, "") << args.front();
    }
}

}  // namespace
}  // namespace qm::test
