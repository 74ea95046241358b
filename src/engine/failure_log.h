// The failure log: one line for every file that could not be transferred.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

class FailureLog {
public:
    // The log is created, replacing an earlier one, at the run's first
    // failure, in the first place the platform offers that can take it, and
    // gets the header line then: a run that fails nothing (or is killed
    // before its first failure) leaves no empty log behind. When no place
    // can take it, the run goes on without a log and says so at its end.
    explicit FailureLog(System& system);
    // A log of another name at the failure log's places, without a header
    // (the log of files an undo had to leave).
    FailureLog(System& system, std::u16string_view name);

    bool created() const { return file_ != nullptr || closed_; }
    const std::u16string& path() const { return path_; }
    void add(const std::u16string& source, const std::u16string& destination);
    // Closes the log. Afterwards created() tells whether every line reached it.
    void close();
    // A run without failures removes the log of an earlier run from the
    // place where its own would have gone (unless a running run holds it).
    void removeEarlier();

private:
    // Opens the next place that takes the log and writes every line so far
    // into it; false when no place is left.
    bool moveOn();
    bool write(const std::u16string& line);

    System& system_;
    std::vector<std::u16string> places_;
    std::size_t next_ = 0;
    std::unique_ptr<TextFile> file_;
    std::u16string path_;
    bool closed_ = false;  // closed with every line in it
    // Every line so far, each ended by '\n', so that a log whose place fails
    // (a full disk) can be written again whole at the next place rather than
    // left there cut short.
    std::u16string lines_;
};

}  // namespace qm
