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
#include <functional>
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
    // Share k is named `shareRoot` followed by names[k-1], or by k when there
    // are no names.
    ShareFolders(System& system, const std::u16string& target, std::u16string shareRoot,
                 std::vector<std::u16string> names = {});

    // The folder that holds the shares, when it exists already (it is then
    // kept open for the run); nullptr when it does not.
    OpenFolder* existingParent();
    // The folders on the way to the shares that are missing now: those
    // make() will make.
    std::vector<std::u16string> toMake();
    // Share folders 1 to `count` made where missing, and the folders on the
    // way to them (with `shares` false, those alone: a run that writes lists);
    // existing ones are reused as they are. Without a usable way there, no
    // share can be opened and every file fails.
    void make(std::uint64_t count, bool shares = true);
    OpenFolder* parent() const { return parent_.get(); }
    // Share `share`, opened on first use; nullptr when it cannot be (its
    // files then fail). Safe from every transfer thread.
    OpenFolder* folder(std::uint64_t share);
    // The folder `relative` (parts separated by the separator; empty: the
    // share itself) below share `share`, made where missing like the share
    // folders and held open while the share is. `making` is told first of a
    // folder that is to be made, and may refuse (the record could not say so).
    OpenFolder* folder(std::uint64_t share, std::u16string_view relative,
                       const std::function<bool(std::uint64_t, std::u16string_view)>& making);
    // Once all of a share's files are accounted for.
    void close(std::uint64_t share);
    // The share's name after the root, and its path as the failure log and
    // the record spell it.
    std::u16string name(std::uint64_t share) const;
    std::u16string path(std::uint64_t share) const;

private:
    System& system_;
    std::u16string root_;
    std::vector<std::u16string> names_;
    std::optional<ShareLayout> layout_;
    std::unique_ptr<OpenFolder> parent_;
    std::mutex mutex_;
    // The shares open now (a few at a time), and the folders below them.
    std::map<std::uint64_t, std::unique_ptr<OpenFolder>> open_;
    std::map<std::pair<std::uint64_t, std::u16string>, std::unique_ptr<OpenFolder>> below_;
};

}  // namespace qm
