// Preview, record and undo from the command line, in-process over real folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "batch/batch_fixture.h"
#include "engine/record_format.h"
#include "support/native.h"
#include "text/utf.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

// What a dry run prints is what a real run with the same seed does, file by
// file; companions always share their file's share.
TEST_F(BatchRecordTest, ADryRunIsWhatTheRunDoes) {
    for (int i = 0; i < 12; ++i) {
        dir.write("src/IMG_" + std::to_string(i) + ".jpg", "jpg" + std::to_string(i));
        if (i % 2 == 0) dir.write("src/IMG_" + std::to_string(i) + ".xml", "label" + std::to_string(i));
    }
    dir.write("src/IMG_3.JPG.txt", "not a companion");
#ifdef _WIN32
    dir.write("src/odd name #1 (副本).jpg", "odd");
#else
    dir.write("src/odd\tname\\#1\x1b[2J.jpg", "odd");  // escaped in the plan, never sent raw
#endif
    for (bool companions : {false, true}) {
        const std::string target = companions ? "with" : "without";
        std::vector<std::string> args = dealArgs(target, {"--filter", "*.jpg", "--per-share", "2"});
        if (companions) args.push_back("--companions");

        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        ASSERT_EQ(run(dry), 0) << err.str();
        const std::string plan = out.str();
        EXPECT_TRUE(plan.starts_with("# seed 9\n"));
        EXPECT_EQ(plan.find('\x1b'), std::string::npos);
        EXPECT_TRUE(dir.list(target).empty());
        EXPECT_FALSE(dir.exists("log.txt"));

        std::vector<std::string> real = args;
        real.insert(real.end(), {"--manifest", path(target + ".manifest")});
        ASSERT_EQ(run(real), 0) << err.str();
        const std::string manifest = dir.read(target + ".manifest");
        EXPECT_TRUE(manifest.ends_with("\n# end\n"));
        EXPECT_EQ(rows(manifest, 3), rows(plan, 3));
        EXPECT_EQ(rows(plan, 3).size(), companions ? 19u : 13u);
        EXPECT_EQ(out.str().find("另有6个伴随文件随同分发。") != std::string::npos, companions) << out.str();

        std::map<std::string, std::string> shareOf;  // file name -> share folder
        for (const std::string& share : dir.list(target)) {
            for (const std::string& file : dir.list(target + "/" + share)) shareOf[file] = share;
        }
        EXPECT_EQ(shareOf.size(), rows(plan, 3).size());
        for (int i = 0; i < 12 && companions; i += 2) {
            const std::string stem = "IMG_" + std::to_string(i);
            EXPECT_EQ(shareOf[stem + ".xml"], shareOf[stem + ".jpg"]) << stem;
        }
    }
}

TEST_F(BatchRecordTest, ARunWithoutASeedTellsTheOneItDrew) {
    dir.write("src/a.txt", "a");
    ASSERT_EQ(run({"--import", path("src"), "--export", path("out"), "--shares", "1"}), 0);
    EXPECT_EQ(err.str(), "随机种子：42\n");  // the fake clock's seed
    ASSERT_EQ(run({"--import", path("src"), "--export", path("out2"), "--shares", "1", "--quiet"}), 0);
    EXPECT_EQ(err.str(), "");
}

// An undo puts moved files back byte for byte with their times, and leaves
// alone what changed after the run: a file edited in its share, a name taken
// again in the source folder.
TEST_F(BatchRecordTest, UndoTakesAMoveRunBackButNotWhatChanged) {
    for (int i = 0; i < 6; ++i) dir.write("src/f" + std::to_string(i) + ".txt", std::string(1000 + i, 'a' + i));
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400) + std::chrono::microseconds(123457);
    for (int i = 0; i < 6; ++i) fs::last_write_time(dir.path() / ("src/f" + std::to_string(i) + ".txt"), when);
    const std::vector<std::string> before = dir.tree("src");
    ASSERT_EQ(run(dealArgs("out", {"--move", "--per-share", "3", "--manifest", path("run.manifest")})), 0) << err.str();
    ASSERT_TRUE(dir.list("src").empty());

    const std::vector<std::string> shares = dir.list("out");
    ASSERT_EQ(shares.size(), 2u);
    const std::string edited = "out/" + shares[0] + "/" + dir.list("out/" + shares[0])[0];
    const std::string retaken = dir.list("out/" + shares[1])[0];
    dir.write(edited, "edited after the run");
    dir.write("src/" + retaken, "a new file with the old name");

    ASSERT_EQ(undo(), 1);
    EXPECT_EQ(rows(out.str(), 1).size(), 2u) << out.str();
    EXPECT_NE(out.str().find(retaken), std::string::npos);
    std::vector<std::string> now = dir.tree("src"), expected = before;
    const std::string editedName = edited.substr(edited.rfind('/') + 1);
    std::erase_if(expected, [&](const std::string& line) { return line.starts_with(editedName + "="); });
    std::erase_if(now, [&](const std::string& line) { return line.starts_with(retaken + "="); });
    std::erase_if(expected, [&](const std::string& line) { return line.starts_with(retaken + "="); });
    EXPECT_EQ(now, expected);  // bytes and times of every file taken back
    EXPECT_EQ(dir.read(edited), "edited after the run");
    EXPECT_EQ(dir.list("out").size(), 2u);  // both shares keep a file that stays
}

// A copy is deleted only while it is the run's copy and its source is another
// file with the same bytes. Nothing of the user's is ever deleted: not when a
// share folder became a link to the import folder, not when the import folder
// became a link to the share, not when a new version was saved over a copy
// while the undo worked on it.
struct Meddling {
    const char* name;
    void (*meddle)(BatchRecordTest&);
    const char* originals;  // where the originals are once meddled with
    const char* copies;     // where the copies are
    std::size_t copiesLeft;
};

class UndoNeverDeletesAnOriginal : public BatchRecordTest, public ::testing::WithParamInterface<Meddling> {};

TEST_P(UndoNeverDeletesAnOriginal, WhateverWasDoneToTheFolders) {
    for (int i = 0; i < 4; ++i) dir.write("src/f" + std::to_string(i) + ".txt", "copy me " + std::to_string(i));
    ASSERT_EQ(run(dealArgs("out", {"--shares", "1", "--manifest", path("run.manifest")})), 0) << err.str();
    const std::vector<std::string> originals = dir.tree("src");
    GetParam().meddle(*this);
    if (IsSkipped()) return;
    undo();
    EXPECT_EQ(dir.tree(GetParam().originals), originals) << out.str();
    EXPECT_EQ(dir.list(GetParam().copies).size(), GetParam().copiesLeft) << out.str();
}

void putAside(BatchRecordTest& t, const char* folder, const char* linkTo) {
    fs::rename(t.dir.native(folder), t.dir.native("aside"));
    if (!t.dir.link(linkTo, folder)) GTEST_SKIP() << "no links here";
}

// The manifest edited so that each row's destination is its own source: the
// import folder recorded as the share folder.
void sourceIsDestination(BatchRecordTest& t) {
    std::string record = t.dir.read("run.manifest");
    const std::string src = escapeField(t.dir.u16("src")), share = escapeField(t.dir.u16("out/src_分发1"));
    for (std::size_t at; (at = record.find(src + escapeField(std::u16string(1, kSep)))) != std::string::npos;)
        record.replace(at, src.size(), share);
    record.replace(record.find("# import " + src), 9 + src.size(), "# import " + share);
    fs::remove(t.dir.native("run.manifest"));
    t.dir.write("run.manifest", record);
}

const Meddling kMeddlings[] = {
    {"untouched", [](BatchRecordTest&) {}, "src", "out", 0},
    {"share_is_a_link_to_the_import_folder",
     [](BatchRecordTest& t) { putAside(t, "out/src_分发1", "src"); }, "src", "aside", 4},
    {"import_folder_is_a_link_to_the_share",
     [](BatchRecordTest& t) { putAside(t, "src", "out/src_分发1"); }, "aside", "out/src_分发1", 4},
    {"new_version_saved_over_a_copy_meanwhile",
     [](BatchRecordTest& t) {
         t.platform.beforeTakeBack = [&t](const std::u16string& name) {
             if (name != u"f1.txt") return;
             t.dir.write("new.tmp", "the new version");
             fs::rename(t.dir.native("new.tmp"), t.dir.native("out/src_分发1/f1.txt"));
         };
     },
     "src", "out/src_分发1", 1},
    {"hand_made_rows_whose_destination_is_their_source", sourceIsDestination, "src", "out/src_分发1", 4},
};
INSTANTIATE_TEST_SUITE_P(Meddled, UndoNeverDeletesAnOriginal, ::testing::ValuesIn(kMeddlings),
                         [](const auto& info) { return std::string(info.param.name); });

// The record is there before the first file, and a path that cannot take it
// stops the run before anything is made: it never replaces what has the
// name, be it an earlier record, a folder or a device.
TEST_F(BatchRecordTest, ARecordThatCannotBeMadeStopsTheRunBeforeItStarts) {
    dir.write("src/a.txt", "a");
    dir.write("earlier.manifest", "an earlier run's record");
    fs::create_directory(dir.native("folder.manifest"));
    std::vector<std::string> taken = {path("earlier.manifest"), path("folder.manifest"), path("missing/run.manifest")};
#ifndef _WIN32
    taken.push_back("/dev/null");
#endif
    for (const std::string& manifest : taken) {
        EXPECT_EQ(run(dealArgs("out", {"--move", "--manifest", manifest})), 2) << manifest;
        EXPECT_EQ(err.str().find("不会覆盖") != std::string::npos, manifest != path("missing/run.manifest")) << err.str();
        EXPECT_TRUE(dir.list("out").empty()) << manifest;
        EXPECT_TRUE(dir.exists("src/a.txt")) << manifest;
    }
    EXPECT_EQ(dir.read("earlier.manifest"), "an earlier run's record");
#ifndef _WIN32
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
#endif
}

// Stopped between files (Ctrl+C), a run finishes the file in hand, closes its
// record and log, says what it did not deal, and the undo of its record
// returns both folders to what they were before it.
TEST_F(BatchRecordTest, AStoppedRunReportsAndCanBeUndone) {
    makeFiles(dir, "src", 10);
    fs::create_directory(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    int transfers = 0;
    platform.afterTransfer = [&](const std::u16string&) {
        if (++transfers == 3) stop = 2;
    };
    EXPECT_EQ(run(dealArgs("out", {"--move", "--per-share", "4", "--jobs", "1", "--manifest", path("run.manifest")})), 130);
    EXPECT_NE(err.str().find("分发已中断：7个文件未分发。"), std::string::npos) << err.str();
    EXPECT_EQ(dir.list("src").size(), 7u);
    const std::string record = dir.read("run.manifest");
    EXPECT_TRUE(record.ends_with("# end interrupted 7\n")) << record;
    EXPECT_FALSE(dir.exists("log.txt"));  // no failures: no log, not even an empty one

    stop = 0;
    platform.afterTransfer = nullptr;
    EXPECT_EQ(undo(), 0) << out.str();
    EXPECT_NE(err.str().find("中断"), std::string::npos);
    std::vector<std::string> after = dir.tree();
    std::erase_if(after, [](const std::string& line) { return line.starts_with("run.manifest"); });
    EXPECT_EQ(after, before);
}

// A record that can no longer be written on stops the run before its next
// file: a run never goes on unrecorded, and what it did can be taken back.
TEST_F(BatchRecordTest, ARunStopsWhenItsRecordCannotBeWritten) {
    makeFiles(dir, "src", 10);
    fs::create_directory(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    platform.recordWrites = 2 + 4;  // the first line, the header, four rows
    EXPECT_EQ(run(dealArgs("out", {"--move", "--shares", "2", "--jobs", "1", "--manifest", path("run.manifest")})), 1);
    EXPECT_NE(err.str().find("清单无法写入，分发已停止"), std::string::npos) << err.str();
    EXPECT_EQ(dir.list("src").size(), 6u);  // the fifth file was not published: its line was not written

    platform.recordWrites = -1;
    EXPECT_EQ(undo(), 0) << out.str() << err.str();
    std::vector<std::string> after = dir.tree();
    std::erase_if(after, [](const std::string& line) { return line.starts_with("run.manifest") || line.starts_with("log.txt"); });
    EXPECT_EQ(after, before);
}

// A link at a share's name, planted before the run or in place of a share
// during it, receives nothing: its files fail and are logged.
TEST_F(BatchRecordTest, ShareFoldersAreNeverReachedThroughLinks) {
    makeFiles(dir, "src", 6);
    fs::create_directories(dir.native("out"));
    fs::create_directories(dir.native("elsewhere"));
    if (!dir.link("elsewhere", "out/src_分发1")) GTEST_SKIP() << "no links here";
    EXPECT_EQ(run(dealArgs("out", {"--move", "--per-share", "3"})), 1);
    EXPECT_TRUE(dir.list("elsewhere").empty());
    EXPECT_EQ(dir.list("src").size(), 3u);  // share 1's files stayed
    EXPECT_EQ(dir.list("out/src_分发2").size(), 3u);

    // During a run: share 1 renamed and replaced by a link after its first
    // file. (Windows refuses the rename: the run holds the folder.)
    makeFiles(dir, "src", 6);
    std::atomic<int> moved{0};  // files move on several threads
    platform.afterTransfer = [&](const std::u16string&) {
        std::error_code renamed;
        if (++moved == 1) fs::rename(dir.native("out2/src_分发1"), dir.native("renamed"), renamed);
        if (moved == 1 && !renamed) dir.link("elsewhere", "out2/src_分发1");
    };
    EXPECT_EQ(run(dealArgs("out2", {"--move", "--per-share", "3"})), 0);
    EXPECT_TRUE(dir.list("elsewhere").empty());
    const std::string share = dir.exists("renamed") ? "renamed" : "out2/src_分发1";
    EXPECT_EQ(dir.list(share).size(), 3u);  // the share stayed open: all three went into it
}

// Runs share the folder their shares are in; an undo has it alone.
TEST_F(BatchRecordTest, ARunAndAnUndoExcludeEachOther) {
    makeFiles(dir, "src", 4);
    ASSERT_EQ(run(dealArgs("out", {"--shares", "2", "--manifest", path("run.manifest")})), 0);
    const std::unique_ptr<OpenFolder> out = platform.openFolder(dir.u16("out"));
    ASSERT_TRUE(out);
    {
        const auto undoing = platform.lockFolder(*out, true);
        ASSERT_TRUE(undoing);
        EXPECT_EQ(run(dealArgs("out", {"--shares", "2"})), 2);
        EXPECT_NE(err.str(), "");
    }
    {
        const auto running = platform.lockFolder(*out, false);
        ASSERT_TRUE(running);
        EXPECT_EQ(undo(), 2);
        EXPECT_EQ(dir.list("out/src_分发1").size(), 2u);
    }
    EXPECT_EQ(undo(), 0);
    EXPECT_TRUE(dir.list("out").empty());
}

}  // namespace
}  // namespace qm::test
