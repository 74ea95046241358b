// The locks that keep runs and undos apart, whichever front end started
// them: a run holds the folder of its share folders and its import folder
// shared, an undo holds both (and each share folder it enters) exclusively.
// Locks are never waited for: whoever comes second is told at once.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace qm {

class FolderLocks {
public:
    explicit FolderLocks(System& system) : system_(system) {}

    // Locks `folder` shared (a run) or exclusively (an undo); true when it is
    // held so now, also when it was held already under another name (an
    // import folder that is the folder of the shares, say). False when
    // another run or undo holds it the other way.
    bool take(OpenFolder& folder, bool exclusive);
    // Lets go of the folder again (a share folder an undo is done with).
    void release(OpenFolder& folder);

private:
    System& system_;
    std::mutex mutex_;  // an undo's workers take and let go of share folders
    struct Held {
        FileId id;
        std::unique_ptr<FolderLock> lock;
        int holders;
    };
    std::vector<Held> held_;
};

}  // namespace qm
