#include "platform/win32/win32_text.h"

#include <windows.h>

#include "text/utf.h"

namespace qm::win32 {

namespace {

bool isAbsolute(std::wstring_view path) {
    const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool network = path.size() >= 2 && (path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/');
    return drive || network;
}

}  // namespace

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string fromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

std::wstring filePath(std::u16string_view path) {
    std::wstring name = wide(path);
    // CreateDirectoryW stops 12 characters short of MAX_PATH (room for an 8.3
    // name inside), so that is where the long form starts.
    if (name.size() < MAX_PATH - 12 || name.starts_with(L"\\\\?\\") || !isAbsolute(name)) return name;
    // The long form takes the path literally: "/", "." and ".." are resolved
    // first, as the classic form would.
    std::wstring full(name.size() + 1, L'\0');
    DWORD n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return name;
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0 || n >= full.size()) return name;
    }
    full.resize(n);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::optional<std::string> toAnsi(std::u16string_view text) {
    if (text.empty()) return std::string();
    const std::wstring w = wide(text);
    const UINT codePage = GetACP();
    // A system whose ANSI code page is UTF-8 takes every character; the
    // lost-character flag may not even be asked for there.
    if (codePage == CP_UTF8) return text::toUtf8(text);
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()),
                                         nullptr, 0, nullptr, &lost);
    if (size <= 0 || lost) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), bytes.data(), size,
                        nullptr, &lost);
    if (lost) return std::nullopt;
    return bytes;
}

std::u16string fromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring w(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), size);
    return fromWide(w);
}

}  // namespace qm::win32
