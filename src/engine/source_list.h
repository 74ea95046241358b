// The files a run deals from: the regular files of the import folder whose
// names the type filter takes, in the file list's order (by name), read
// once into one arena. The window's file list shows one; the command line
// reads one; a run's plan points into it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace qm {

class SourceList {
public:
    // Empty until it reads a folder.
    SourceList(System& system, std::u16string pattern) : system_(system), pattern_(std::move(pattern)) {}

    // Reads `folder` and takes the names `pattern` matches. A folder that
    // cannot be read lists nothing, so no count ever shows another folder's files.
    void read(std::u16string folder, std::u16string pattern);
    // Reads the folder again with the pattern it has.
    void refresh();
    // The files of every folder below it too (walked without following a
    // link), named by their paths relative to the folder; the folders whose
    // paths begin with `skipping` (the share folders of a run into its own
    // import folder) are not entered. Takes effect at the next reading.
    void setTree(bool subfolders, std::u16string skipping);
    bool subfolders() const { return subfolders_; }
    // Folders below that were links, and not entered, at the last reading.
    std::uint64_t linkedFolders() const { return linkedFolders_; }
    // A new pattern, applied to the folder as it is now: to the names read
    // before when the folder's version proves that it holds them still, else
    // to the folder read again (files added or removed from outside count,
    // and a folder that is gone lists nothing).
    void setPattern(std::u16string pattern);

    const std::u16string& folder() const { return folder_; }
    const std::u16string& pattern() const { return pattern_; }
    std::size_t count() const { return matched_.size(); }
    // Where the entry at `index` (in the list's order) stands among all the
    // folder's names.
    std::uint32_t nameIndex(std::size_t index) const;
    NativeNameView entry(std::size_t index) const { return names_.name(nameIndex(index)); }
    // Every regular file of the folder, whether the pattern takes it or not
    // (with subfolders, their paths relative to the folder).
    const FolderNames& names() const { return names_; }

private:
    void applyPattern();

    System& system_;
    std::u16string folder_;
    std::u16string pattern_;
    FolderNames names_;
    bool subfolders_ = false;
    std::u16string skipping_;
    std::uint64_t linkedFolders_ = 0;
    // The folder's version when names_ was read, when it proves anything.
    std::optional<FolderVersion> version_;
    // Positions in names_ of the names that match; put in order on first use.
    mutable std::vector<std::uint32_t> matched_;
    mutable bool ordered_ = false;
};

}  // namespace qm
