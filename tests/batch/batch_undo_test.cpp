// Every record a run writes, undo reads, and takes back once and completely:
// whatever the names, however often it is asked, wherever a kill left it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>

#include "batch/batch_fixture.h"
#include "engine/record_format.h"
#include "support/native.h"
#include "text/utf.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

using BatchUndoTest = BatchRecordTest;

// A file name drawn from everything the system can hold in one: on POSIX any
// byte but "/" and NUL, up to 255 of them; on Windows any UTF-16 text the
// file system takes (it refuses a few characters and device names itself).
fs::path randomName(std::mt19937& random) {
#ifdef _WIN32
    static const std::u16string kRefused = u"<>:\"/\\|?*";
    std::u16string name(std::uniform_int_distribution<int>(1, 60)(random), u'a');
    for (char16_t& c : name) {
        do c = static_cast<char16_t>(std::uniform_int_distribution<int>(0x20, 0xD7FF)(random));
        while (kRefused.find(c) != std::u16string::npos);
    }
    while (name.back() == u' ' || name.back() == u'.') name.back() = u'_';  // Windows cuts them off
    return fs::path(std::wstring(name.begin(), name.end()));
#else
    std::string name(std::uniform_int_distribution<int>(1, 255)(random), 'a');
    for (char& c : name) {
        do c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(random));
        while (c == '/');
    }
    return name;
#endif
}

// Names drawn at random; a copy run and a move run each, then undone: the
// folders are as they were, byte for byte and to the nanosecond.
TEST_F(BatchUndoTest, AnyNameTheSystemHoldsComesBack) {
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    fs::create_directories(dir.native("src"));
    fs::create_directories(dir.native("out"));
    std::set<fs::path> names;
    while (names.size() < 120) {
        const fs::path name = randomName(random);
        if (name == "." || name == ".." || names.contains(name)) continue;
        std::error_code made;
        {
            std::ofstream file(dir.path() / "src" / name, std::ios::binary);
            file << "file " << names.size();
            made = file ? std::error_code() : std::make_error_code(std::errc::invalid_argument);
        }
        if (!made && fs::is_regular_file(dir.path() / "src" / name)) names.insert(name);
    }
    const std::vector<std::string> before = dir.tree();
    for (const char* mode : {"--copy", "--move"}) {
        std::vector<std::string> args = dealArgs("out", {"--per-share", "7", "--manifest", path("run.manifest")});
        if (std::string(mode) == "--move") args.push_back(mode);
        ASSERT_EQ(run(args), 0) << "seed " << seed << "\n" << out.str() << err.str();
        ASSERT_EQ(undo(), 0) << "seed " << seed << "\n" << out.str() << err.str();
        fs::remove(dir.native("run.manifest"));
        EXPECT_EQ(dir.tree(), before) << "seed " << seed << " " << mode;
    }
}

// Undo is done once: the second of a finished one has nothing to do and
// says so, whether the run copied or moved.
TEST_F(BatchUndoTest, ASecondUndoHasNothingToDo) {
    makeFiles(dir, "src", 9);
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    for (const bool move : {false, true}) {
        std::vector<std::string> args = dealArgs("out", {"--shares", "3", "--manifest", path("run.manifest")});
        if (move) args.push_back("--move");
        ASSERT_EQ(run(args), 0) << err.str();
        EXPECT_EQ(undo(), 0) << out.str() << err.str();
        EXPECT_NE(err.str().find("已撤销9个文件。"), std::string::npos) << err.str();
        EXPECT_EQ(undo(), 0) << out.str();
        EXPECT_EQ(out.str(), "");
        EXPECT_EQ(err.str(), "没有需要撤销的文件。\n");
        fs::remove(dir.native("run.manifest"));
        EXPECT_EQ(dir.tree(), before) << (move ? "move" : "copy");
    }
}

// A share folder, or a folder below one, replaced by a link between the run
// and its undo is not entered, and its rows are told as left, not counted as
// taken back: a copy's source being there proves nothing about a copy no one
// could see. With the folder back, the same record finishes the work.
TEST_F(BatchUndoTest, AFolderPutBehindALinkIsLeftAndToldSo) {
    makeFiles(dir, "src/sub", 9);
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    for (const std::string linked : {"out/src_分发1", "out/src_分发1/sub"}) {
        for (const bool move : {false, true}) {
            const std::string what = linked + (move ? " move" : " copy");
            std::vector<std::string> args =
                dealArgs("out", {"--subfolders", "--shares", "3", "--manifest", path("run.manifest")});
            if (move) args.push_back("--move");
            ASSERT_EQ(run(args), 0) << err.str();
            fs::rename(dir.native(linked), dir.native("aside"));
            fs::copy(dir.native("aside"), dir.native("decoy"), fs::copy_options::recursive);
            const std::vector<std::string> decoy = dir.tree("decoy");
            if (!dir.link("decoy", linked)) GTEST_SKIP() << "no links here";
            EXPECT_EQ(undo(), 1) << what;
            EXPECT_NE(err.str().find("已撤销6个文件。"), std::string::npos) << what << err.str();
            EXPECT_NE(out.str().find("已被换成链接"), std::string::npos) << what << out.str();
            EXPECT_EQ(dir.tree("decoy"), decoy) << what;

            dir.unlink(linked);
            fs::rename(dir.native("aside"), dir.native(linked));
            EXPECT_EQ(undo(), 0) << what << err.str();
            EXPECT_NE(err.str().find("已撤销3个文件。"), std::string::npos) << what << err.str();
            fs::remove_all(dir.native("decoy"));
            fs::remove(dir.native("run.manifest"));
            EXPECT_EQ(dir.tree(), before) << what;
        }
    }
}

// Where a kill can leave a run's file or an undo's step, the next undo
// finishes the work: a copy moved aside to a hidden name (killed before it
// was removed), a moved file already back at its source (killed before the
// check), a file back at its source while its copy is still in the share
// (between file systems, killed before the share's copy went), a run's
// whole copy never published (killed before its hidden name was renamed).
struct Killed {
    const char* name;
    bool move;
    void (*leave)(const TempDir& dir, const std::string& share, const std::string& file);
};

class AnUndoKilledAtAnyStep : public BatchUndoTest, public ::testing::WithParamInterface<Killed> {};

TEST_P(AnUndoKilledAtAnyStep, IsFinishedByTheNext) {
    makeFiles(dir, "src", 4);
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    std::vector<std::string> args = dealArgs("out", {"--shares", "2", "--manifest", path("run.manifest")});
    if (GetParam().move) args.push_back("--move");
    ASSERT_EQ(run(args), 0) << err.str();
    const std::string share = "out/" + dir.list("out").front();
    GetParam().leave(dir, share, dir.list(share).front());
    EXPECT_EQ(undo(), 0) << out.str() << err.str();
    fs::remove(dir.native("run.manifest"));
    EXPECT_EQ(dir.tree(), before);
}

void aside(const TempDir& dir, const std::string& share, const std::string& file, const char* hidden) {
    fs::rename(dir.native(share + "/" + file), dir.native(share + "/" + hidden));
}

const Killed kKilled[] = {
    {"copy_moved_aside", false,
     [](const TempDir& d, const std::string& s, const std::string& f) { aside(d, s, f, ".quillmarsh-999-1.undo"); }},
    {"copy_never_published", false,
     [](const TempDir& d, const std::string& s, const std::string& f) { aside(d, s, f, ".quillmarsh-999-2.part"); }},
    {"move_back_before_its_check", true,
     [](const TempDir& d, const std::string& s, const std::string& f) {
         fs::rename(d.native(s + "/" + f), d.native("src/" + f));
     }},
    {"move_back_copied_before_the_share_copy_went", true,
     [](const TempDir& d, const std::string& s, const std::string& f) {
         fs::copy_file(d.native(s + "/" + f), d.native("src/" + f));
         fs::last_write_time(d.native("src/" + f), fs::last_write_time(d.native(s + "/" + f)));
     }},
    {"moved_file_aside", true,
     [](const TempDir& d, const std::string& s, const std::string& f) { aside(d, s, f, ".quillmarsh-999-3.undo"); }},
};
INSTANTIATE_TEST_SUITE_P(Undo, AnUndoKilledAtAnyStep, ::testing::ValuesIn(kKilled),
                         [](const auto& info) { return std::string(info.param.name); });

// A file is a record only when its first line says so, zero bytes end it
// only at its end, and no number in it sets the work an undo does: what is
// not a whole record is refused with nothing touched.
TEST_F(BatchUndoTest, RecordsAreRecognisedNotGuessed) {
    makeFiles(dir, "src", 30);
    ASSERT_EQ(run(dealArgs("out", {"--move", "--shares", "3", "--manifest", path("run.manifest")})), 0);
    const std::string record = dir.read("run.manifest");
    const std::size_t middle = record.find('\n', record.size() / 2) + 1;
    const struct {
        const char* name;
        std::string text;
        int exit;
        const char* said;
    } cases[] = {
        {"gzip", std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) + "binary", 2, "不是分发清单"},
        {"program", std::string("\x7f" "ELF\x02\x01\x01\x00\x00\x00", 10) + "\n#!", 2, "不是分发清单"},
        {"text", "hello\n", 2, "不是分发清单"},
        {"empty", "", 2, "不是分发清单"},
        {"zeros_in_the_middle", record.substr(0, middle) + std::string(4096, '\0') + record.substr(middle), 2,
         "零字节"},
        {"huge_folder_count", std::string(record).replace(record.find("# folders 3"), 11, "# folders 4294967295"), 0,
         "已撤销30个文件"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> shares = dir.tree("out");
        fs::remove(dir.native("run.manifest"));
        dir.write("run.manifest", c.text);
        EXPECT_EQ(undo(), c.exit) << c.name << "\n" << err.str();
        EXPECT_NE(err.str().find(c.said), std::string::npos) << c.name << "\n" << err.str();
        if (c.exit == 2) {
            EXPECT_EQ(dir.tree("out"), shares) << c.name;  // nothing touched
        }
    }
    EXPECT_EQ(dir.list("src").size(), 30u);
    EXPECT_TRUE(dir.list("out").empty());
}

// Two copy records, each naming the other's share as its import folder, so
// that each copy's "source" is the other copy: undone at once, they must not
// both delete. The second undo, started while the first is at work, is
// refused; whatever each does, every content stays somewhere.
TEST_F(BatchUndoTest, TwoUndosWhoseRecordsCrossCannotBothDelete) {
    makeFiles(dir, "src", 6);
    ASSERT_EQ(run(dealArgs("one", {"--shares", "1", "--manifest", path("one.manifest")})), 0);
    ASSERT_EQ(run(dealArgs("two", {"--shares", "1", "--manifest", path("two.manifest")})), 0);
    fs::remove_all(dir.native("src"));
    auto cross = [&](const std::string& record, const std::string& otherShare) {
        std::string text = dir.read(record);
        const std::string src = escapeField(dir.u16("src")), other = escapeField(dir.u16(otherShare));
        for (std::size_t at; (at = text.find(src)) != std::string::npos;) text.replace(at, src.size(), other);
        fs::remove(dir.native(record));
        dir.write(record, text);
    };
    cross("one.manifest", "two/src_分发1");
    cross("two.manifest", "one/src_分发1");

    int second = -1;
    platform.beforeTakeBack = [&](const std::u16string&) {
        if (second != -1) return;
        second = 0;
        std::ostringstream out2, err2;
        const auto parsed = batch::parseOptions({"--undo", path("two.manifest")});
        second = batch::runBatch(parsed.options, platform, out2, err2, false, nullptr);
    };
    run({"--undo", path("one.manifest")});
    platform.beforeTakeBack = nullptr;
    EXPECT_EQ(second, 2);
    run({"--undo", path("two.manifest")});
    for (int i = 0; i < 6; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%03d.txt", i);
        EXPECT_TRUE(dir.exists(std::string("one/src_分发1/") + name) || dir.exists(std::string("two/src_分发1/") + name))
            << name;
    }
}

// Undo leaves every folder as the run found it: the folders a run made
// above its shares (a kept whole path) go when empty, and a symbolic link
// the run moved comes back as the link.
TEST_F(BatchUndoTest, UndoLeavesTheFoldersAsTheRunFoundThem) {
    makeFiles(dir, "src", 3);
    dir.write("elsewhere/t.txt", "the link's target");
    dir.link("elsewhere/t.txt", "src/link.txt");  // where the system makes links to files
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    for (const std::vector<std::string>& more : {std::vector<std::string>{"--full-path"}, {"--move"}}) {
        std::vector<std::string> args = dealArgs("out", {"--shares", "2", "--manifest", path("run.manifest")});
        args.insert(args.end(), more.begin(), more.end());
        ASSERT_EQ(run(args), 0) << err.str();
        ASSERT_EQ(undo(), 0) << out.str() << err.str();
        fs::remove(dir.native("run.manifest"));
        EXPECT_EQ(dir.tree(), before) << more.front();
    }
}

// A share on a file system that cannot set a file's times or permission
// bits still receives every file whole; the report says what they lack, the
// record what they really have, and the undo takes them back.
TEST_F(BatchUndoTest, AShareThatKeepsNoTimesStillReceivesItsFiles) {
    makeFiles(dir, "src", 12);
    const auto past = fs::last_write_time(dir.native("src/f000.txt")) - std::chrono::hours(24 * 365 * 20);
    for (const std::string& file : dir.list("src")) fs::last_write_time(dir.native("src/" + file), past);
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree();
    platform.simulateRefusals(true);
    ASSERT_EQ(run(dealArgs("out", {"--shares", "3", "--manifest", path("run.manifest")})), 0) << out.str() << err.str();
    platform.simulateRefusals(false);
    EXPECT_NE(out.str().find("其中12个文件的修改时间或权限无法保留。"), std::string::npos) << out.str();
    std::size_t dealt = 0;
    for (const std::string& share : dir.list("out")) {
        for (const std::string& file : dir.list("out/" + share)) {
            EXPECT_EQ(dir.read("out/" + share + "/" + file), dir.read("src/" + file));
            EXPECT_NE(fs::last_write_time(dir.native("out/" + share + "/" + file)), past);
            ++dealt;
        }
    }
    EXPECT_EQ(dealt, 12u);
    // The record says what the copies really have: their own times, made now.
    const std::string record = dir.read("run.manifest");
    const auto then = std::chrono::system_clock::now() - std::chrono::hours(24 * 365 * 20);
    const std::string sourceYear =
        "\t" + utcTime({std::chrono::duration_cast<std::chrono::seconds>(then.time_since_epoch()).count(), 0}).substr(0, 5);
    for (const std::string& row : rows(record, 6)) EXPECT_EQ(row.find(sourceYear), std::string::npos) << row;
    EXPECT_EQ(undo(), 0) << out.str() << err.str();
    fs::remove(dir.native("run.manifest"));
    EXPECT_EQ(dir.tree(), before);
}

}  // namespace
}  // namespace qm::test
