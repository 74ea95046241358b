// A real folder under /tmp for one test, removed with everything in it.
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
    std::u16string u16() const;  // the folder as the core spells it
    std::u16string u16(const std::string& relative) const;

    // Writes a file (making its folders); relative to the folder.
    void write(const std::string& relative, const std::string& content) const;
    std::string read(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    // Names of the entries of a folder, sorted.
    std::vector<std::string> list(const std::string& relative = "") const;

private:
    std::filesystem::path path_;
};

// Files named f000, f001, ... with their own names as content.
void makeFiles(const TempDir& dir, const std::string& folder, int count, const std::string& suffix = ".txt");

}  // namespace qm::test
