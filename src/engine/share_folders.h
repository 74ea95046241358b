// The share folders of a run, reached from the target folder without ever
// following a link below it.
//
// The target folder is the user's choice and is taken as it is, links on
// its path included. Every folder below it that leads to the shares (the
// kept path's folders, then the share folders themselves) is made and
// entered one at a time without following a symbolic link or junction: a
// link planted at a share's name, or on the way to it, fails that share's
// files instead of receiving them. The folder that holds the shares stays
// open for the whole run, and each share while its files are dealt, so a
// rename or a link put in place meanwhile redirects nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

// Where share folders lie: below `target`, the folders `parent` (parts
// separated by the separator; empty when the shares lie in the target
// itself), and in there the share folders named `rootName` and a number.
struct ShareLayout {
    std::u16string target;
    std::u16string parent;
    std::u16string rootName;
};

// The layout of a share root made from `target`; nullopt when the root does
// not lie inside the target folder.
std::optional<ShareLayout> shareLayout(const std::u16string& target, const std::u16string& shareRoot,
                                       char16_t separator);

// The folders from the target (not included) to the one that holds the
// shares, outermost first, as paths: what a run may have made on its way.
std::vector<std::u16string> foldersOnTheWay(const ShareLayout& layout, char16_t separator);

// The folder that holds the shares, opened (made when `create` is set) as
// described above; nullptr when it cannot be.
std::unique_ptr<OpenFolder> openShareParent(System& system, const ShareLayout& layout, bool create);

class ShareFolders {
public:
    ShareFolders(System& system, const std::u16string& target, std::u16string shareRoot);

    // The folder that holds the shares, when it exists already (it is then
    // kept open for the run); nullptr when it does not.
    OpenFolder* existingParent();
    // The folders on the way to the shares that are missing now: those
    // make() will make.
    std::vector<std::u16string> toMake();
    // Share folders 1 to `count` made where missing, and the folders on the
    // way to them; existing ones are reused as they are. Without a usable
    // way there, no share can be opened and every file fails.
    void make(std::uint64_t count);
    OpenFolder* parent() const { return parent_.get(); }
    // Share `share`, opened on first use; nullptr when it cannot be (its
    // files then fail). Safe from both threads of a copy run.
    OpenFolder* folder(std::uint64_t share);
    // Once all of a share's files are accounted for.
    void close(std::uint64_t share);
    // The share's path as the failure log and the record spell it.
    std::u16string path(std::uint64_t share) const;

private:
    System& system_;
    std::u16string root_;
    std::optional<ShareLayout> layout_;
    std::unique_ptr<OpenFolder> parent_;
    std::mutex mutex_;
    std::map<std::uint64_t, std::unique_ptr<OpenFolder>> open_;  // a few at a time
};

}  // namespace qm
