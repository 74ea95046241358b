// A real folder in the system's temporary folder for one test, removed with
// everything in it. Relative paths are written with "/" on every system.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qm::test {

class TempDir {
public:
    TempDir();
    // A folder under `base` (to work on another file system, say).
    explicit TempDir(const std::filesystem::path& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A path below the folder as the system takes it.
    std::filesystem::path native(const std::string& relative) const;
    // The folder, or a path below it, as the core spells it (the system's
    // separator); str() gives the same in UTF-8, as typed on a command line.
    std::u16string u16() const;
    std::u16string u16(const std::string& relative) const;
    std::string str(const std::string& relative = "") const;
    // The folder's own path without its drive, written with "/": what a
    // dispatch that keeps the whole source path builds below its target.
    std::string withoutDrive() const;

    // Writes a file (making its folders); relative to the folder.
    void write(const std::string& relative, const std::string& content) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    // Names of the entries of a folder, sorted, in UTF-8.
    std::vector<std::string> list(const std::string& relative = "") const;
    // Everything below a folder, one line per entry in sorted order: a
    // folder as "name/", a file as "name=content@mtime", a link as
    // "name->target"; what a run and its undo must leave as they found it.
    std::vector<std::string> tree(const std::string& relative = "") const;
    // Puts a symbolic link to `target` (a folder, a file, or nothing at all)
    // at `at`, both relative; false where the system will not make one that
    // it shows as a link (Windows without the privilege; Wine, but to a folder).
    bool link(const std::string& target, const std::string& at) const;
    // Removes a link that link() made (under Wine the host's, which Wine's
    // own calls would follow).
    void unlink(const std::string& at) const;

private:
    std::filesystem::path path_;
    mutable std::vector<std::wstring> hostLinks_;  // links made by the host under Wine
};

// Files named f000, f001, ... with their own names as content.
void makeFiles(const TempDir& dir, const std::string& folder, int count, const std::string& suffix = ".txt");

}  // namespace qm::test
