// The count fields' normalisation as a pure function, shared by the fields
// and by the command line's --per-share and --shares.
#pragma once

#include <cstdint>

namespace qm {

struct NormalizedCount {
    std::uint64_t value;   // what the field holds afterwards
    bool fileCount;        // it is the file count (the field shows that count's own text)
};

// A count read from a field (its leading number) made whole and positive,
// `fallback` when it is not, and no more than the number of matching files.
NormalizedCount normalizedCount(double read, double files, std::uint64_t fallback);

}  // namespace qm
