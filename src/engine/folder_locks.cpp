#include "engine/folder_locks.h"

#include <algorithm>

namespace qm {

bool FolderLocks::take(OpenFolder& folder, bool exclusive) {
    const std::optional<FileId> id = system_.identityOf(folder);
    if (!id) return false;
    std::lock_guard guard(mutex_);
    // A lock of the same process on the same folder through a second open
    // description would shut the process out of its own folder.
    const auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.id == *id; });
    if (it != held_.end()) {
        ++it->holders;
        return true;
    }
    std::unique_ptr<FolderLock> lock = system_.lockFolder(folder, exclusive);
    if (!lock) return false;
    held_.push_back({*id, std::move(lock), 1});
    return true;
}

void FolderLocks::release(OpenFolder& folder) {
    const std::optional<FileId> id = system_.identityOf(folder);
    if (!id) return;
    std::lock_guard guard(mutex_);
    const auto it = std::find_if(held_.begin(), held_.end(), [&](const Held& h) { return h.id == *id; });
    if (it != held_.end() && --it->holders == 0) held_.erase(it);
}

}  // namespace qm
