// The command line run in-process over real folders, with the test platform.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace qm::test {

// The command line refuses an export folder that is not there, so a test
// makes it first, as a user would.
inline void makeExportFolder(const batch::Options& options) {
    std::error_code ignored;
    if (!options.exportFolder.empty()) std::filesystem::create_directories(std::filesystem::path(options.exportFolder), ignored);
}

class BatchRecordTest : public ::testing::Test {
public:
    BatchRecordTest() { platform.logPaths = {dir.u16("log.txt")}; }

    int run(std::vector<std::string> args) {
        auto parsed = batch::parseOptions(args);
        EXPECT_EQ(parsed.error, "");
        makeExportFolder(parsed.options);
        out.str("");
        err.str("");
        return batch::runBatch(parsed.options, platform, out, err, false, &stop);
    }
    std::vector<std::string> dealArgs(const std::string& target, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"--import", path("src"), "--export", path(target), "--seed", "9"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    int undo() { return run({"--undo", path("run.manifest")}); }
    std::string path(const std::string& relative) { return dir.str(relative); }

    // The rows of a plan or manifest: the lines not starting with '#', cut to
    // their first `fields` fields, sorted (a copy run records its files in the
    // order two threads finish them).
    static std::vector<std::string> rows(const std::string& text, int fields) {
        std::vector<std::string> result;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::size_t at = 0;
            for (int f = 0; f < fields && at != std::string::npos; ++f) at = line.find('\t', at + (f ? 1 : 0));
            result.push_back(line.substr(0, at));
        }
        std::sort(result.begin(), result.end());
        return result;
    }

    TempDir dir;
    FakePlatform platform;
    std::ostringstream out, err;
    std::atomic<int> stop{0};
};

}  // namespace qm::test
