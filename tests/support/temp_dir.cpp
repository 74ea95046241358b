#include "support/temp_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/utf.h"

namespace qm::test {

namespace fs = std::filesystem;

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& base) {
    std::string pattern = (base / "qm-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable again so that tests that took permissions away clean up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

std::u16string TempDir::u16() const { return text::fromUtf8(path_.string()); }

std::u16string TempDir::u16(const std::string& relative) const { return text::fromUtf8((path_ / relative).string()); }

void TempDir::write(const std::string& relative, const std::string& content) const {
    fs::path p = path_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

std::string TempDir::read(const std::string& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& relative) const { return fs::exists(fs::symlink_status(path_ / relative)); }

std::vector<std::string> TempDir::list(const std::string& relative) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_ / relative)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void makeFiles(const TempDir& dir, const std::string& folder, int count, const std::string& suffix) {
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d", i);
        dir.write(folder + "/" + name + suffix, name);
    }
}

}  // namespace qm::test
