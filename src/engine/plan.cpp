#include "engine/plan.h"

#include <algorithm>

namespace qm {

std::u16string sourcePathOf(const std::u16string& caption, const PathStyle& style) {
    if (!caption.empty() && caption.back() == style.separator) return caption.substr(0, caption.size() - 1);
    return caption;
}

std::u16string keptPath(const std::u16string& sourcePath, bool folderNameOnly, const PathStyle& style) {
    if (!folderNameOnly) {
        if (!style.driveLetters) return sourcePath;
        return sourcePath.size() > 2 ? sourcePath.substr(2) : std::u16string();
    }
    const std::size_t last = sourcePath.rfind(style.separator);
    if (last != std::u16string::npos) return sourcePath.substr(last);
    if (sourcePath.empty()) return {};
    // No separator left: a drive root ("C:") keeps its letter, any other
    // bare name is the folder's own name.
    if (style.driveLetters && sourcePath.size() == 2 && sourcePath[1] == u':')
        return std::u16string(1, style.separator) + sourcePath[0];
    return style.separator + sourcePath;
}

ShareCounts fixedShares(std::uint64_t files, std::uint64_t perShare) {
    perShare = std::clamp<std::uint64_t>(perShare, 1, std::max<std::uint64_t>(files, 1));
    return {files / perShare + (files % perShare != 0 ? 1 : 0), perShare};
}

ShareCounts averageShares(std::uint64_t files, std::uint64_t shares) {
    shares = std::clamp<std::uint64_t>(shares, 1, std::max<std::uint64_t>(files, 1));
    return {shares + (files % shares != 0 ? 1 : 0), std::max<std::uint64_t>(files / shares, 1)};
}

std::uint64_t shareOf(std::uint64_t position, const ShareCounts& shares) {
    return std::min(position / shares.size + 1, shares.count);
}

}  // namespace qm
