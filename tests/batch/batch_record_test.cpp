// Preview, record and undo from the command line, in-process over real folders.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "app/batch/batch_run.h"
#include "engine/manifest.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class BatchRecordTest : public ::testing::Test {
protected:
    BatchRecordTest() { platform.logPaths = {dir.u16("log.txt")}; }

    int run(std::vector<std::string> args) {
        auto parsed = batch::parseOptions(args);
        EXPECT_EQ(parsed.error, "");
        out.str("");
        err.str("");
        return batch::runBatch(parsed.options, platform, out, err, false);
    }
    std::vector<std::string> dealArgs(const std::string& target) {
        return {"--import", path("src"), "--export", path(target), "--seed", "9"};
    }
    std::string path(const std::string& relative) { return dir.str(relative); }
    // The paths a manifest records, read back as the undo reads them.
    std::vector<ManifestRow> recorded(const std::string& manifest) {
        std::string error;
        auto parsed = parseManifest(dir.read(manifest), error);
        EXPECT_TRUE(parsed) << error;
        return parsed ? parsed->rows : std::vector<ManifestRow>{};
    }

    // The rows of a plan or manifest: the lines not starting with '#', cut to
    // their first `fields` fields.
    static std::vector<std::string> rows(const std::string& text, int fields) {
        std::vector<std::string> result;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::size_t at = 0;
            for (int f = 0; f < fields && at != std::string::npos; ++f) at = line.find('\t', at + (f ? 1 : 0));
            result.push_back(line.substr(0, at));
        }
        return result;
    }

    TempDir dir;
    FakePlatform platform;
    std::ostringstream out, err;
};

// What a dry run prints is what a real run with the same seed does, file by
// file and in order; companions always share their file's share.
TEST_F(BatchRecordTest, ADryRunIsWhatTheRunDoes) {
    for (int i = 0; i < 12; ++i) {
        dir.write("src/IMG_" + std::to_string(i) + ".jpg", "jpg" + std::to_string(i));
        if (i % 2 == 0) dir.write("src/IMG_" + std::to_string(i) + ".xml", "label" + std::to_string(i));
    }
    dir.write("src/IMG_3.JPG.txt", "not a companion");
#ifdef _WIN32
    dir.write("src/odd name #1 (副本).jpg", "odd");
#else
    dir.write("src/odd\tname\\#1.jpg", "odd");  // a tab and a backslash, escaped in the plan
#endif
    for (bool companions : {false, true}) {
        const std::string target = companions ? "with" : "without";
        std::vector<std::string> args = dealArgs(target);
        args.insert(args.end(), {"--filter", "*.jpg", "--per-share", "2"});
        if (companions) args.push_back("--companions");

        std::vector<std::string> dry = args;
        dry.push_back("--dry-run");
        ASSERT_EQ(run(dry), 0) << err.str();
        const std::string plan = out.str();
        EXPECT_TRUE(plan.starts_with("# seed 9\n"));
        EXPECT_FALSE(dir.exists(target));
        EXPECT_FALSE(dir.exists("log.txt"));

        std::vector<std::string> real = args;
        real.insert(real.end(), {"--manifest", path(target + ".manifest")});
        ASSERT_EQ(run(real), 0) << err.str();
        const std::string manifest = dir.read(target + ".manifest");
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
    std::vector<std::string> args = dealArgs("out");
    args.insert(args.end(), {"--move", "--per-share", "3", "--manifest", path("run.manifest")});
    ASSERT_EQ(run(args), 0) << err.str();
    ASSERT_TRUE(dir.list("src").empty());

    const std::vector<ManifestRow> where = recorded("run.manifest");
    ASSERT_EQ(where.size(), 6u);
    auto relative = [&](const std::u16string& p) { return text::toUtf8(p.substr(dir.u16().size() + 1)); };
    dir.write(relative(where[0].destination), "edited after the run");
    dir.write(relative(where[5].source), "a new file with the old name");

    ASSERT_EQ(run({"--undo", path("run.manifest")}), 1);
    EXPECT_EQ(rows(out.str(), 1).size(), 2u) << out.str();
    EXPECT_NE(out.str().find(text::toUtf8(where[0].destination)), std::string::npos);
    EXPECT_NE(out.str().find(text::toUtf8(where[5].destination)), std::string::npos);
    for (int row = 1; row < 5; ++row) {
        const std::string name = relative(where[row].source).substr(4);  // less "src/"
        const int i = name[1] - '0';
        EXPECT_EQ(dir.read("src/" + name), std::string(1000 + i, 'a' + i)) << name;
        EXPECT_EQ(platform.fileFacts(where[row].source), where[row].facts) << name;  // size and time
    }
    EXPECT_EQ(dir.read(relative(where[0].destination)), "edited after the run");
    EXPECT_EQ(dir.list("out").size(), 2u);  // both shares keep a file that stays
}

// A copy is deleted only while it still equals its source; shares left
// empty go, nothing else does.
TEST_F(BatchRecordTest, UndoDeletesOnlyUnchangedCopies) {
    for (int i = 0; i < 4; ++i) dir.write("src/f" + std::to_string(i) + ".txt", "copy me " + std::to_string(i));
    dir.write("out/src_分发2/keep.me", "was there before");
    std::vector<std::string> args = dealArgs("out");
    args.insert(args.end(), {"--per-share", "2", "--manifest", path("run.manifest")});
    ASSERT_EQ(run(args), 0) << err.str();
    const std::string changed = dir.list("out/src_分发2").front() == "keep.me" ? dir.list("out/src_分发2")[1]
                                                                               : dir.list("out/src_分发2").front();
    dir.write("out/src_分发2/" + changed, "changed");

    ASSERT_EQ(run({"--undo", path("run.manifest")}), 1);
    EXPECT_FALSE(dir.exists("out/src_分发1"));
    EXPECT_EQ(dir.list("out/src_分发2"), (std::vector<std::string>{changed, "keep.me"}));
    EXPECT_EQ(dir.list("src").size(), 4u);

    EXPECT_EQ(run({"--undo", path("missing.manifest")}), 2);
    dir.write("bad.manifest", "not a manifest\n");
    EXPECT_EQ(run({"--undo", path("bad.manifest")}), 2);
}

}  // namespace
}  // namespace qm::test
