#include "engine/share_folders.h"

#include "text/utf.h"

namespace qm {

std::optional<ShareLayout> shareLayout(const std::u16string& target, const std::u16string& shareRoot,
                                       char16_t separator) {
    if (target.empty() || !shareRoot.starts_with(target)) return std::nullopt;
    // The target as a folder: a root keeps its separator, others drop theirs.
    std::u16string folder = target;
    while (folder.size() > 1 && folder.back() == separator && folder[folder.size() - 2] != u':') folder.pop_back();
    std::u16string_view rest = std::u16string_view(shareRoot).substr(target.size());
    if (target.back() != separator && (rest.empty() || rest.front() != separator)) return std::nullopt;
    while (!rest.empty() && rest.front() == separator) rest.remove_prefix(1);
    const std::size_t last = rest.rfind(separator);
    ShareLayout layout{std::move(folder), std::u16string(), std::u16string(rest)};
    if (last != std::u16string_view::npos) {
        layout.parent = rest.substr(0, last);
        layout.rootName = rest.substr(last + 1);
    }
    if (layout.rootName.empty()) return std::nullopt;
    return layout;
}

std::vector<std::u16string> foldersOnTheWay(const ShareLayout& layout, char16_t separator) {
    std::vector<std::u16string> way;
    std::u16string folder = layout.target;
    for (std::size_t start = 0; start < layout.parent.size();) {
        std::size_t end = layout.parent.find(separator, start);
        if (end == std::u16string::npos) end = layout.parent.size();
        if (end > start) {
            if (folder.back() != separator) folder += separator;
            folder.append(layout.parent, start, end - start);
            way.push_back(folder);
        }
        start = end + 1;
    }
    return way;
}

std::unique_ptr<OpenFolder> openShareParent(System& system, const ShareLayout& layout, bool create) {
    // The target folder itself is made as the user named it, links and all.
    if (create && !system.folderExists(layout.target))
        system.makeFolders(layout.target + system.pathStyle().separator);
    const std::unique_ptr<OpenFolder> target = system.openFolder(layout.target);
    if (!target) return nullptr;
    return system.openFolderBelow(*target, layout.parent, create);
}

ShareFolders::ShareFolders(System& system, const std::u16string& target, std::u16string shareRoot,
                           std::vector<std::u16string> names)
    : system_(system), root_(std::move(shareRoot)), names_(std::move(names)),
      layout_(shareLayout(target, root_, system.pathStyle().separator)) {}

OpenFolder* ShareFolders::existingParent() {
    if (!parent_ && layout_) parent_ = openShareParent(system_, *layout_, false);
    return parent_.get();
}

std::vector<std::u16string> ShareFolders::toMake() {
    if (!layout_ || existingParent()) return {};
    std::vector<std::u16string> way = foldersOnTheWay(*layout_, system_.pathStyle().separator);
    const std::unique_ptr<OpenFolder> target = system_.openFolder(layout_->target);
    if (!target) return way;
    // The first folder on the way that cannot be entered, and all below it.
    std::size_t present = 0;
    while (present < way.size() &&
           system_.openFolderBelow(*target, std::u16string_view(way[present]).substr(layout_->target.size()), false))
        ++present;
    way.erase(way.begin(), way.begin() + static_cast<std::ptrdiff_t>(present));
    return way;
}

void ShareFolders::make(std::uint64_t count, bool shares) {
    if (!parent_ && layout_) parent_ = openShareParent(system_, *layout_, true);
    if (!parent_ || !shares) return;
    for (std::uint64_t k = 1; k <= count; ++k) system_.openFolderBelow(*parent_, layout_->rootName + name(k), true);
}

OpenFolder* ShareFolders::folder(std::uint64_t share) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(share);
    if (it == open_.end()) {
        std::unique_ptr<OpenFolder> opened;
        if (parent_) opened = system_.openFolderBelow(*parent_, layout_->rootName + name(share), false);
        it = open_.emplace(share, std::move(opened)).first;
    }
    return it->second.get();
}

OpenFolder* ShareFolders::folder(std::uint64_t share, std::u16string_view relative,
                                 const std::function<bool(std::uint64_t, std::u16string_view)>& making) {
    OpenFolder* top = folder(share);
    if (relative.empty() || !top) return top;
    std::lock_guard lock(mutex_);
    // Folder by folder from the share down, each made like the share folders
    // without following a link; the record hears of each one first, so that
    // an undo may remove it again once empty.
    const char16_t separator = system_.pathStyle().separator;
    OpenFolder* above = top;
    for (std::size_t end = 0; end != std::u16string_view::npos;) {
        end = relative.find(separator, end + 1);
        const std::u16string_view prefix = relative.substr(0, end);
        const auto key = std::make_pair(share, std::u16string(prefix));
        auto it = below_.find(key);
        if (it == below_.end()) {
            const std::u16string_view part = prefix.substr(prefix.rfind(separator) + 1);
            std::unique_ptr<OpenFolder> opened = above ? system_.openFolderBelow(*above, part, false) : nullptr;
            if (!opened && above && (!making || making(share, prefix)))
                opened = system_.openFolderBelow(*above, part, true);
            it = below_.emplace(key, std::move(opened)).first;
        }
        above = it->second.get();
    }
    return above;
}

void ShareFolders::close(std::uint64_t share) {
    std::lock_guard lock(mutex_);
    open_.erase(share);
    for (auto it = below_.lower_bound({share, std::u16string()}); it != below_.end() && it->first.first == share;)
        it = below_.erase(it);
}

std::u16string ShareFolders::name(std::uint64_t share) const {
    return share >= 1 && share <= names_.size() ? names_[share - 1] : text::decimal(share);
}

std::u16string ShareFolders::path(std::uint64_t share) const { return root_ + name(share); }

}  // namespace qm
