#include "window/form1.h"

namespace qm {

bool Form1::ProbeFolder(const std::u16string& folder) {
    // Only the chosen folder decides. Pointing back may fail when the folder
    // shown before has gone meanwhile; that must not make every new choice
    // unusable, so the list is re-pointed at it whatever it holds now.
    std::u16string remembered = File1.path();
    const bool usable = File1.setPath(folder);
    File1.repoint(std::move(remembered));
    return usable;
}

}  // namespace qm
