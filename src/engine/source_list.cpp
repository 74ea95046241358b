#include "engine/source_list.h"

#include <algorithm>

#include "text/name_order.h"
#include "text/wildcard.h"

namespace qm {

void SourceList::read(std::u16string folder, std::u16string pattern) {
    folder_ = std::move(folder);
    pattern_ = std::move(pattern);
    refresh();
}

void SourceList::setTree(bool subfolders, std::u16string skipping) {
    subfolders_ = subfolders;
    skipping_ = std::move(skipping);
}

void SourceList::setPattern(std::u16string pattern) {
    pattern_ = std::move(pattern);
    if (!version_ || system_.folderVersion(folder_) != version_) {
        refresh();
        return;
    }
    applyPattern();
}

void SourceList::refresh() {
    // The old names go before the folder is read again (listFolder empties
    // them first), so two lists of a large folder never live at once.
    std::vector<std::uint32_t>().swap(matched_);
    // The version is taken before the names, so that a name added while
    // they are read shows as a change. A folder changed in the last moments
    // may change again within the same tick of the file system's clock,
    // leaving the version as it was: its version proves nothing yet.
    // A tree's version would be every folder's: a tree is always read again.
    const FileTime now = system_.currentTime();
    version_ = subfolders_ ? std::nullopt : system_.folderVersion(folder_);
    if (version_ && std::max(version_->modified.seconds, version_->changed.seconds) > now.seconds - 2) version_.reset();
    linkedFolders_ = 0;
    if (subfolders_) {
        system_.listTree(folder_, names_, skipping_, linkedFolders_);
    } else {
        system_.listFolder(folder_, names_);
    }
    applyPattern();
}

void SourceList::applyPattern() {
    const NamePattern pattern(pattern_);
    const auto separator = static_cast<NameUnit>(system_.pathStyle().separator);
    matched_.clear();
    for (std::size_t i = 0; i < names_.size(); ++i) {
        // The filter applies to the file's name, not to its folders'.
        NativeNameView name = names_.name(i);
        if (subfolders_) name.remove_prefix(name.rfind(separator) + 1);
        if (pattern.matches(name)) matched_.push_back(static_cast<std::uint32_t>(i));
    }
    ordered_ = false;
}

std::uint32_t SourceList::nameIndex(std::size_t index) const {
    if (!ordered_) {
        text::sortNames(matched_, names_.arena, names_.ends);
        ordered_ = true;
    }
    return matched_[index];
}

}  // namespace qm
