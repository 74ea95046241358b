#include "folders/newdir.h"

namespace qm {

std::u16string WithOneTrailingSeparator(const std::u16string& path, char16_t separator) {
    std::u16string in = path + separator;
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == separator && i + 1 < in.size() && in[i + 1] == separator) ++i;
    }
    return out;
}

std::u16string BrowseFolder(Platform platform, const std::u16string& title, const std::u16string& initialFolder,
                            bool newStyle) {
    const PathStyle style = platform.system.pathStyle();
    const std::u16string initial =
        initialFolder.empty() ? std::u16string() : WithOneTrailingSeparator(initialFolder, style.separator);
    std::u16string result = platform.user.browseForFolder(title, initial, newStyle);
    if (result.empty()) return result;
    result = WithOneTrailingSeparator(result, style.separator);
    // A network path ("\\server\share") lost one of its two leading
    // separators in the fold above; give it back. Only drive-letter systems
    // have such paths: a leading "/" on Linux is the root and stays single.
    if (style.driveLetters && result.front() == style.separator) result.insert(result.begin(), style.separator);
    if (!platform.system.folderExists(result)) return {};
    return result;
}

}  // namespace qm
