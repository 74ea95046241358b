// Taking back the run that a manifest records, as far as it can be done
// without replacing or deleting anything the run did not put there.
#pragma once

#include <string>
#include <vector>

#include "engine/manifest.h"

namespace qm {

struct UndoProblem {
    std::u16string path;    // the file in its share
    std::u16string reason;  // why it stays
};

struct UndoReport {
    std::uint64_t takenBack = 0;
    std::vector<UndoProblem> problems;
};

// A moved file goes back to its source path when its share still holds what
// the run put there (same size and modification time) and nothing has taken
// the source name; a copied file is deleted when its content still equals the
// source's; share folders left empty by this are removed. Rows are taken back
// last first.
UndoReport undoRun(Platform& platform, const Manifest& manifest);

}  // namespace qm
