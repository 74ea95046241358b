// The platform's file contract, tested once against the platform of the
// system the tests run on: the POSIX platform on Linux, the Windows platform
// on Windows and under Wine. A case only one system can have stands behind
// #ifdef in its topic's file, saying why.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/native_system.h"
#include "support/native.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm::test {

namespace fs = std::filesystem;

// What a copy keeps besides bytes and times: the permission bits on POSIX,
// the attributes (FILE_ATTRIBUTE_..., spelt out for every build) on Windows.
struct Mode {
    std::uint32_t posix, windows;
};
inline constexpr std::uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4, kArchive = 0x20;
inline constexpr Mode kPlain{0644, kArchive};

// Test files' times, in the 100 ns steps Windows keeps. The access time lies
// ahead of now and of the modification time, so that reading a file leaves it
// alone (relatime, the usual mount option); a copy must carry it over.
inline constexpr FileTime kAccessed{4102444800, 987654300}, kModified{1500000000, 123456700};

// Bytes that differ from position to position, so that a misplaced chunk shows.
std::string bytes(std::size_t size);

// Read and set with the system's own calls (std::filesystem keeps whole
// seconds on Windows). modeOf is nullopt but for a regular file, not a link.
std::optional<std::uint32_t> modeOf(const fs::path& file);
void setMode(const fs::path& file, Mode mode);
struct Times {
    FileTime accessed, modified;
};
Times timesOf(const fs::path& file);
void setTimes(const fs::path& file, Times times);

// Keeps the file from being deleted, though it can be read, until the guard
// goes; nullptr where that cannot be arranged. On POSIX its folder keeps its
// entries, on Windows another program holds it.
std::shared_ptr<void> undeletable(const fs::path& file);

#ifndef _WIN32
// A umask that would strip group and other bits from a plain create, so that
// a copy whose mode comes from the umask shows. Windows has none.
struct StrictUmask {
    mode_t old = umask(077);
    ~StrictUmask() { umask(old); }
};

// A limit on the size of the files the process writes: a write beyond it
// fails as on a full disk. Windows has none.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    rlimit old;
    void (*handler)(int);
};
#else
struct StrictUmask {};
#endif

class Contract : public ::testing::Test {
protected:
    using Names = std::vector<std::u16string>;

    // A file with `content`, kAccessed, kModified and `mode`.
    void make(const std::string& relative, const std::string& content, Mode mode = kPlain);
    // Whether it is still a regular file with that content, mode and modification time.
    void expectAsMade(const std::string& relative, const std::string& content, Mode mode = kPlain);
    // A path written with "/", spelt with the system's separator.
    static std::u16string spelt(const std::string& path);
    static NativeName name(const std::string& utf8) { return text::nativeName(text::fromUtf8(utf8)); }
    std::unique_ptr<OpenFolder> folder(const std::string& relative) { return platform.openFolder(dir.u16(relative)); }
    // The names the platform lists in `folder`, sorted; nullopt when it cannot
    // be listed. Checks that a listing replaces what the list held.
    std::optional<Names> list(const std::u16string& folder);
    // Transfers the file `from` to the same name in the folder `to` (both
    // relative); a folder that cannot be opened fails it, as in a run.
    TransferResult transfer(bool moving, const std::string& from, const std::string& to);
    TransferOutcome copy(const std::string& from, const std::string& to) { return transfer(false, from, to).outcome; }
    TransferOutcome move(const std::string& from, const std::string& to) { return transfer(true, from, to).outcome; }

    StrictUmask umask_;  // before the platform, which reads it when it is made
    TempDir dir;
    NativeSystem platform;
};

}  // namespace qm::test
