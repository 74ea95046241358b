// The engine's run, asked for as the command line and the window ask: a
// request, its plan, and what became of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/run_plan.h"
#include "engine/run_session.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class RunSessionTest : public ::testing::Test {
protected:
    RunSessionTest() {
        platform.logPaths = {dir.u16("log.txt")};
        makeFiles(dir, "src", 6);
        fs::create_directories(dir.native("out"));
        request.importFolder = dir.u16("src");
        request.exportFolder = dir.u16("out");
        request.count = 2;
        request.seed = 7;
    }
    RunResult run(const RunCallbacks& callbacks = {}) {
        SourceList sources(platform, u"*.*");
        sources.read(request.importFolder, u"*.*");
        RunPlan plan = planRun(request, sources, platform.pathStyle());
        return runPlan(platform, request, plan, sources.names(), callbacks);
    }

    TempDir dir;
    FakePlatform platform;
    RunRequest request;
};

// Told before the first file that the run starts, then each file in order;
// the result counts what it did.
TEST_F(RunSessionTest, CallsBackInOrderAndCounts) {
    std::vector<std::string> heard;
    RunCallbacks callbacks;
    callbacks.starting = [&] { heard.push_back(dir.exists("out/src_分发2") ? "starting, shares made" : "starting"); };
    callbacks.progress = [&](std::uint64_t i, std::uint64_t total) {
        heard.push_back(std::to_string(i) + "/" + std::to_string(total));
    };
    const RunResult result = run(callbacks);
    // While no file finishes the pool tells the last count again, so that a
    // window repaints however long a file takes (a slow machine sees this).
    heard.erase(std::unique(heard.begin(), heard.end()), heard.end());
    EXPECT_EQ(heard, (std::vector<std::string>{"starting, shares made", "0/6", "1/6", "2/6", "3/6", "4/6", "5/6"}));
    EXPECT_TRUE(result.ran);
    EXPECT_EQ(result.transferred, 6u);
    EXPECT_EQ(result.failed, 0u);
    EXPECT_EQ(dir.list("src").size(), 6u);
}

// Whatever keeps a run from starting, it makes nothing: a manifest whose
// name is taken, an undo holding the folder of the shares or the import folder.
TEST_F(RunSessionTest, ARunThatCannotStartMakesNothing) {
    dir.write("taken.manifest", "an earlier record");
    const struct {
        const char* name;
        const char* manifest;  // or none
        const char* held;      // a folder an undo holds, or none
        RunResult::Manifest why;
        bool busy;
    } cases[] = {
        {"manifest_taken", "taken.manifest", nullptr, RunResult::Manifest::Taken, false},
        {"manifest_cannot_be_made", "missing/run.manifest", nullptr, RunResult::Manifest::NotMade, false},
        {"export_folder_held", "run.manifest", "out", RunResult::Manifest::Made, true},
        {"import_folder_held", nullptr, "src", RunResult::Manifest::Made, true},
    };
    for (const auto& c : cases) {
        request.record = c.manifest ? RunRequest::Record::Manifest : RunRequest::Record::None;
        request.manifest = c.manifest ? dir.u16(c.manifest) : u"";
        const std::unique_ptr<OpenFolder> held = c.held ? platform.openFolder(dir.u16(c.held)) : nullptr;
        const std::unique_ptr<FolderLock> lock = held ? platform.lockFolder(*held, true) : nullptr;
        const RunResult result = run();
        EXPECT_EQ(result.manifest, c.why) << c.name;
        EXPECT_EQ(result.busy, c.busy) << c.name;
        EXPECT_FALSE(result.ran) << c.name;
        EXPECT_TRUE(dir.list("out").empty()) << c.name;
        EXPECT_FALSE(dir.exists("run.manifest")) << c.name;
    }
    EXPECT_EQ(dir.read("taken.manifest"), "an earlier record");
}

}  // namespace
}  // namespace qm::test
