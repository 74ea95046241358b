// What the platform offers the record of a run and its undo, the same on
// every system: the record's file, folders entered without following links,
// the lock, and taking one file back while it is the very file recorded.
#include "engine/take_back.h"
#include "platform/contract.h"

namespace qm::test {
namespace {

using ContractTakeBack = Contract;

TEST_F(ContractTakeBack, ARecordFileIsNewOrNothing) {
    dir.write("taken", "an earlier record");
    fs::create_directory(dir.native("folder"));
    std::vector<std::string> taken{"taken", "folder", "missing/record"};
    if (dir.link("taken", "linked")) taken.push_back("linked");
    for (const std::string& path : taken) EXPECT_EQ(platform.createRecordFile(dir.u16(path)), nullptr) << path;
    EXPECT_EQ(dir.read("taken"), "an earlier record");

    auto record = platform.createRecordFile(dir.u16("record"));
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->writeAt(0, "line one\nline two\n"));
    EXPECT_TRUE(record->writeAt(5, "ONE"));  // corrected in place
    // There before close (a kill keeps it); room reserved for more may follow.
    EXPECT_TRUE(dir.read("record").starts_with("line ONE\nline two\n"));
    EXPECT_TRUE(record->truncate(9) && record->close());
    EXPECT_EQ(dir.read("record"), "line ONE\n");

    auto input = platform.openInputFile(dir.u16("record"));
    ASSERT_TRUE(input);
    char buffer[64];
    EXPECT_EQ(input->read(buffer, sizeof buffer), 9);
    EXPECT_EQ(input->read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(input->rewind());
    EXPECT_EQ(input->read(buffer, 4), 4);
    EXPECT_EQ(platform.openInputFile(dir.u16("folder")), nullptr);
}

// The window's records are reached through their open folder by name
// alone: made new, read, marked in place, renamed without replacing, removed;
// a link or a folder at a name is never followed or removed.
TEST_F(ContractTakeBack, RecordsInAnOpenFolderAreReachedByNameAlone) {
    dir.write("runs/taken", "an earlier record");
    fs::create_directories(dir.native("runs/folder"));
    dir.write("elsewhere", "not a record");
    const bool links = dir.link("elsewhere", "runs/link");
    auto runs = folder("runs");
    ASSERT_TRUE(runs);
    for (const char* taken : {"taken", "folder", "link"}) {
        if (std::string(taken) == "link" && !links) continue;
        EXPECT_EQ(platform.createRecordIn(*runs, name(taken)), nullptr) << taken;
        if (std::string(taken) != "taken") {
            EXPECT_EQ(platform.openInputIn(*runs, name(taken)), nullptr) << taken;
            EXPECT_EQ(platform.openRecordIn(*runs, name(taken)), nullptr) << taken;
        }
    }
    auto made = platform.createRecordIn(*runs, name("new"));
    ASSERT_TRUE(made && made->writeAt(0, "line one\n") && made->close());
    auto marked = platform.openRecordIn(*runs, name("new"));
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->size(), 9u);
    char buffer[16] = {};
    EXPECT_EQ(marked->readAt(5, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer, 4), "one\n");
    EXPECT_TRUE(marked->writeAt(9, "two\n") && marked->truncate(13) && marked->close());
    {
        auto input = platform.openInputIn(*runs, name("new"));
        ASSERT_TRUE(input);
        EXPECT_EQ(input->read(buffer, sizeof buffer), 13);
    }  // closed: on Windows a removed file's name stays while it is open

    EXPECT_FALSE(platform.renameIn(*runs, name("new"), name("taken")));
    EXPECT_TRUE(platform.renameIn(*runs, name("new"), name("renamed")));
    EXPECT_EQ(dir.read("runs/renamed"), "line one\ntwo\n");
    EXPECT_FALSE(platform.removeFileIn(*runs, name("folder")));
    EXPECT_EQ(links && platform.removeFileIn(*runs, name("link")), links);
    EXPECT_TRUE(platform.removeFileIn(*runs, name("renamed")));
    EXPECT_EQ(dir.read("elsewhere"), "not a record");
    EXPECT_EQ(dir.list("runs"), (std::vector<std::string>{"folder", "taken"}));
}

TEST_F(ContractTakeBack, FoldersBelowAreMadeAndEnteredWithoutFollowingLinks) {
    fs::create_directories(dir.native("out"));
    auto out = folder("out");
    ASSERT_TRUE(out);
    EXPECT_TRUE(platform.openFolderBelow(*out, spelt("a/b//c"), true));
    EXPECT_TRUE(fs::is_directory(dir.native("out/a/b/c")));
    EXPECT_FALSE(platform.openFolderBelow(*out, u"x", false));  // not made when not asked
    EXPECT_FALSE(platform.openFolderBelow(*out, u"..", true));
    fs::create_directories(dir.native("elsewhere"));
    if (!dir.link("elsewhere", "out/a/link")) GTEST_SKIP() << "no links here";
    for (const char* below : {"a/link", "a/link/new"}) {
        EXPECT_FALSE(platform.openFolderBelow(*out, spelt(below), true)) << below;
    }
    EXPECT_TRUE(fs::is_empty(dir.native("elsewhere")));
}

TEST_F(ContractTakeBack, RunsShareAFolderAndAnUndoHasItAlone) {
    auto out = folder("");
    ASSERT_TRUE(out);
    {
        auto run = platform.lockFolder(*out, false), other = platform.lockFolder(*out, false);
        EXPECT_TRUE(run && other);
        EXPECT_FALSE(platform.lockFolder(*out, true));
    }
    auto undo = platform.lockFolder(*out, true);
    EXPECT_TRUE(undo);
    EXPECT_FALSE(platform.lockFolder(*out, false));
    EXPECT_FALSE(platform.lockFolder(*out, true));
}

// Each take-back acts only on the very file recorded, and never replaces.
TEST_F(ContractTakeBack, TakingBackActsOnlyOnTheRecordedFile) {
    dir.write("share/moved", "moved content");
    dir.write("share/copy", "same bytes");
    dir.write("src/copy", "same bytes");
    dir.write("share/differs", "copy");
    dir.write("src/differs", "original");
    dir.write("share/orphan", "no source");
    dir.write("share/clash", "mine");
    dir.write("src/clash", "someone else's");
    // Empty copies have nothing to compare and may be checked without being
    // opened: the answers must be the same.
    dir.write("share/empty", "");
    dir.write("src/empty", "");
    dir.write("share/emptied", "");
    dir.write("src/emptied", "not empty");
    auto share = folder("share"), src = folder("src");
    ASSERT_TRUE(share && src);
    auto stamp = [&](const char* n) { return platform.stampOf(*share, name(n)).value(); };
    const FileStamp moved = stamp("moved"), copy = stamp("copy"), differs = stamp("differs"), orphan = stamp("orphan"),
                    clash = stamp("clash"), empty = stamp("empty"), emptied = stamp("emptied");
    FileStamp otherFile = copy;
    ++otherFile.id.index;
    FileStamp otherTime = moved;
    ++otherTime.facts.modified.seconds;

    EXPECT_EQ(moveBack(platform, *share, name("moved"), *src, otherTime), TakeBack::Changed);
    EXPECT_EQ(moveBack(platform, *share, name("clash"), *src, clash), TakeBack::NameTaken);
    EXPECT_EQ(moveBack(platform, *share, name("gone"), *src, moved), TakeBack::Gone);
    EXPECT_EQ(moveBack(platform, *share, name("moved"), *src, moved), TakeBack::Done);
    EXPECT_EQ(dir.read("src/moved"), "moved content");
    EXPECT_FALSE(dir.exists("share/moved"));

    EXPECT_EQ(deleteCopy(platform, *share, name("copy"), otherFile, *src), TakeBack::Changed);
    EXPECT_EQ(deleteCopy(platform, *share, name("differs"), differs, *src), TakeBack::Differs);
    EXPECT_EQ(deleteCopy(platform, *share, name("orphan"), orphan, *src), TakeBack::SourceGone);
    EXPECT_EQ(deleteCopy(platform, *share, name("copy"), copy, *share), TakeBack::SameFile);  // its own "source"
    EXPECT_EQ(deleteCopy(platform, *share, name("copy"), copy, *src), TakeBack::Done);
    EXPECT_EQ(deleteCopy(platform, *share, name("emptied"), emptied, *src), TakeBack::Differs);
    EXPECT_EQ(deleteCopy(platform, *share, name("empty"), empty, *share), TakeBack::SameFile);
    EXPECT_EQ(deleteCopy(platform, *share, name("empty"), moved, *src), TakeBack::Changed);
    EXPECT_EQ(deleteCopy(platform, *share, name("empty"), empty, *src), TakeBack::Done);
    EXPECT_EQ(dir.list("share"), (std::vector<std::string>{"clash", "differs", "emptied", "orphan"}));
    EXPECT_EQ(dir.list("src"), (std::vector<std::string>{"clash", "copy", "differs", "emptied", "empty", "moved"}));

    EXPECT_FALSE(platform.removeFolderBelow(*folder(""), name("share")));  // not empty
    fs::create_directory(dir.native("empty"));
    EXPECT_TRUE(platform.removeFolderBelow(*folder(""), name("empty")));
}

}  // namespace
}  // namespace qm::test
