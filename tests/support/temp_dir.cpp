#include "support/temp_dir.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "text/utf.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#endif

namespace qm::test {

namespace fs = std::filesystem;

namespace {

// File names in UTF-8 and back. Linux names are bytes and go through
// unchanged; on Windows a narrow path would be read in the ANSI code page,
// so the conversion goes through char8_t.
fs::path pathFromUtf8(const std::string& s) {
#ifdef _WIN32
    return fs::path(std::u8string(s.begin(), s.end()));
#else
    return fs::path(s);
#endif
}

std::string utf8Of(const fs::path& p) {
#ifdef _WIN32
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
#else
    return p.string();
#endif
}

}  // namespace

#ifdef _WIN32
namespace {

// Under Wine, the host's path of a Windows path; empty elsewhere.
std::wstring hostPath(const fs::path& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) return {};
    std::wstring out(std::strlen(name) + 1, L'\0');
    out.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, name, -1, out.data(), static_cast<int>(out.size())) - 1));
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Runs one of the host's programs (Wine starts them as it would a Windows
// program) and waits for it.
bool runOnHost(const wchar_t* program, std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

}  // namespace
#endif

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& base) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "qm-test-%08x", static_cast<unsigned>(random()));
        if (fs::create_directory(base / name)) {
            path_ = base / name;
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
#ifdef _WIN32
    for (const std::wstring& link : hostLinks_) runOnHost(L"Z:\\bin\\rm", L"rm -f \"" + link + L"\"");
#endif
    std::error_code ec;
    // Make everything writable again so that tests that took permissions away clean up.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}

fs::path TempDir::native(const std::string& relative) const { return path_ / pathFromUtf8(relative); }

std::u16string TempDir::u16() const {
#ifdef _WIN32
    const std::wstring w = path_.wstring();
    return std::u16string(w.begin(), w.end());
#else
    return text::fromUtf8(path_.string());
#endif
}

std::u16string TempDir::u16(const std::string& relative) const {
#ifdef _WIN32
    std::u16string tail = text::fromUtf8(relative);
    std::replace(tail.begin(), tail.end(), u'/', u'\\');
    return u16() + u'\\' + tail;
#else
    return text::fromUtf8((path_ / relative).string());
#endif
}

std::string TempDir::str(const std::string& relative) const {
    return text::toUtf8(relative.empty() ? u16() : u16(relative));
}

std::string TempDir::withoutDrive() const {
    std::string s = text::toUtf8(u16());
#ifdef _WIN32
    s.erase(0, 2);
    std::replace(s.begin(), s.end(), '\\', '/');
#endif
    return s;
}

void TempDir::write(const std::string& relative, const std::string& content) const {
    const fs::path p = native(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

std::string TempDir::read(const std::string& relative) const {
    std::ifstream in(native(relative), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& relative) const { return fs::exists(fs::symlink_status(native(relative))); }

std::vector<std::string> TempDir::list(const std::string& relative) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(native(relative))) names.push_back(utf8Of(e.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> TempDir::tree(const std::string& relative) const {
    std::vector<std::string> lines;
    const fs::path top = native(relative);
    if (!fs::exists(fs::symlink_status(top))) return lines;
    for (auto it = fs::recursive_directory_iterator(top); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = utf8Of(fs::relative(it->path(), top));
        if (it->is_symlink()) {
            lines.push_back(name + "->" + utf8Of(fs::read_symlink(it->path())));
        } else if (it->is_directory()) {
            lines.push_back(name + "/");
        } else {
            std::ifstream in(it->path(), std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            lines.push_back(name + "=" + content.str() + "@" +
                            std::to_string(fs::last_write_time(it->path()).time_since_epoch().count()));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}


bool TempDir::link(const std::string& target, const std::string& at) const {
    std::error_code ec;
    if (fs::is_directory(native(target))) {
        fs::create_directory_symlink(native(target), native(at), ec);
    } else {
        fs::create_symlink(native(target), native(at), ec);
    }
#ifdef _WIN32
    if (!ec) return true;
    // Wine makes no links of its own, but shows the host's symbolic links to
    // folders as links (those to files as the files themselves, those to
    // nothing not at all): one is made by the host's ln. It is removed the
    // same way, first when the folder goes: Wine's own calls would follow it.
    const std::wstring from = hostPath(native(target)), link = hostPath(native(at));
    if (!fs::is_directory(native(target)) || from.empty() || link.empty() ||
        !runOnHost(L"Z:\\bin\\ln", L"ln -s \"" + from + L"\" \"" + link + L"\""))
        return false;
    hostLinks_.push_back(link);
    // The host's process may end before Wine has noticed the new name.
    for (int i = 0; i < 200 && !fs::exists(native(at)); ++i) Sleep(10);
    return fs::exists(native(at));
#else
    return !ec;
#endif
}

void TempDir::unlink(const std::string& at) const {
#ifdef _WIN32
    const std::wstring link = hostPath(native(at));
    if (const auto it = std::find(hostLinks_.begin(), hostLinks_.end(), link); it != hostLinks_.end()) {
        runOnHost(L"Z:\\bin\\rm", L"rm -f \"" + link + L"\"");
        hostLinks_.erase(it);
        for (int i = 0; i < 200 && fs::exists(native(at)); ++i) Sleep(10);
        return;
    }
#endif
    std::error_code ignored;
    fs::remove(native(at), ignored);
}

void makeFiles(const TempDir& dir, const std::string& folder, int count, const std::string& suffix) {
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d", i);
        dir.write(folder + "/" + name + suffix, name);
    }
}

}  // namespace qm::test
