// The failure log: one line for every file that could not be transferred.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace qm {

class FailureLog {
public:
    // Creates the log, replacing an earlier one, in the first place the
    // platform offers that can take it, and writes the header line. When no
    // place can, the run goes on without a log and says so at its end.
    explicit FailureLog(Platform& platform);

    bool created() const { return file_ != nullptr; }
    const std::u16string& path() const { return path_; }
    // A line that cannot be written is lost; the failure still counts.
    void add(const std::u16string& source, const std::u16string& destination);
    void close();

private:
    std::unique_ptr<TextFile> file_;
    std::u16string path_;
};

}  // namespace qm
