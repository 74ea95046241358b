#include "engine/plan.h"

#include <algorithm>

namespace qm {

std::u16string sourcePathOf(const std::u16string& caption, const PathStyle& style) {
    if (!caption.empty() && caption.back() == style.separator) return caption.substr(0, caption.size() - 1);
    return caption;
}

std::u16string keptPath(const std::u16string& sourcePath, bool folderNameOnly, const PathStyle& style) {
    if (!folderNameOnly) {
        std::u16string kept = sourcePath;
        if (style.driveLetters) kept = sourcePath.size() > 2 ? sourcePath.substr(2) : std::u16string();
        // The share root is the target folder's text with the kept path
        // appended as it is; without a separator in front (a drive root
        // gives nothing, a network path loses its leading "\\") the shares
        // would land beside the target folder instead of inside it.
        if (!kept.starts_with(style.separator)) kept.insert(kept.begin(), style.separator);
        return kept;
    }
    const std::size_t last = sourcePath.rfind(style.separator);
    if (last != std::u16string::npos) return sourcePath.substr(last);
    // The root of a system without drives: the separator alone keeps the
    // shares inside the target folder.
    if (sourcePath.empty()) return std::u16string(1, style.separator);
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
