// What one run did, as data: the window's message, the command line's report
// and its exit code are all made from it.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

struct RunResult {
    bool ran = false;  // there were files to deal, and the run went through its steps
    // An undo was using the share folders or the import folder: nothing was made.
    bool busy = false;
    // The manifest the run was to be recorded in could not be made (its
    // name is taken, it cannot be created, it cannot take even its first
    // line): nothing was made.
    enum class Manifest { Made, Taken, NotMade, Full };
    Manifest manifest = Manifest::Made;
    std::uint64_t transferred = 0;  // moved or copied into their shares
    std::uint64_t identical = 0;    // the same file was in the share already
    std::uint64_t failed = 0;
    std::uint64_t clashes = 0;     // of the failed: a different file already had the name in the share
    std::uint64_t copiedOnly = 0;  // a move run's files that could only be copied
    std::uint64_t companions = 0;  // companions dealt along with their files
    std::uint64_t unkept = 0;      // dealt without the time or permission bits their share cannot keep
    std::uint64_t copiedNotCloned = 0;  // a clone run's files that could only be copied
    std::uint64_t otherVolume = 0;      // hard links that failed: the share is on another file system
    std::uint64_t noPrivilege = 0;      // symbolic links that failed: the system refuses this user links
    std::uint64_t linkedFolders = 0;    // folders below the import folder that were links, and not entered
    std::uint64_t common = 0;           // files that went into every share
    std::uint64_t lists = 0, listsFailed = 0;  // the lists written, and those that could not be
    std::uint64_t notDealt = 0;    // files never started: the run was stopped
    bool stopped = false;          // stopped on request (Ctrl+C, say) before every file was dealt
    bool recordLost = false;       // the run's record could not be written on, so the run stopped
    std::u16string failureLog;     // the failure log, when there were failures and it holds them all
    bool companionsShown = false;  // the run dealt companions, and its report counts them
};

}  // namespace qm
