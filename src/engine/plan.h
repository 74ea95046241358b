// The dispatch plan: where the share folders go and how the files are cut
// into shares. Pure functions of the settings, so every rule can be checked
// without a window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qm {

// The source folder's caption less one trailing separator.
std::u16string sourcePathOf(const std::u16string& caption, const PathStyle& style);

// The part of the source path reproduced below the target folder.
// Whole path: the path less its drive (on a system without drive letters,
// the whole path). Folder name only: from the last separator to the end; a
// drive root gives the separator and the drive letter ("C:" gives "\C").
// The kept path always begins with a separator, so that the shares lie inside
// the target folder: a root gives the separator alone, and a network path,
// which loses both leading separators with its "drive", gets one back.
std::u16string keptPath(const std::u16string& sourcePath, bool folderNameOnly, const PathStyle& style);

struct ShareCounts {
    std::uint64_t count;  // number of share folders
    std::uint64_t size;   // consecutive files that go into one share
};

// Fixed dispatch: `perShare` files per share, the last share taking the
// remainder. Average dispatch: `shares` equal shares, plus one more for the
// files left over. Both counts are at least 1 and at most `files`.
ShareCounts fixedShares(std::uint64_t files, std::uint64_t perShare);
ShareCounts averageShares(std::uint64_t files, std::uint64_t shares);

// The share (from 1) that the file at sorted position `position` goes to.
std::uint64_t shareOf(std::uint64_t position, const ShareCounts& shares);

}  // namespace qm
