// The environment, the program's own folder, the version record, the clock
// and where logs go.
#include <windows.h>

#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

namespace {

constexpr char16_t kFailureLogName[] = u"分发失败记录.txt";

// The "\\?\" form of a path as the core spells paths: "C:\..." or "\\server\...".
std::u16string withoutLongForm(std::u16string path) {
    if (path.starts_with(u"\\\\?\\UNC\\")) return u"\\\\" + path.substr(8);
    if (path.starts_with(u"\\\\?\\")) return path.substr(4);
    return path;
}

}  // namespace

std::vector<std::u16string> Win32System::failureLogPaths() {
    std::vector<std::u16string> paths{std::u16string(u"c:\\") + kFailureLogName};
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n > 0 && n <= MAX_PATH) {
        std::u16string folder = win32::fromWide(std::wstring_view(temp, n));
        if (!folder.ends_with(u'\\')) folder += u'\\';
        paths.push_back(folder + kFailureLogName);
    }
    return paths;
}

std::u16string Win32System::stateFolder() {
    std::u16string local = environmentVariable(u"LOCALAPPDATA");
    if (local.empty()) return {};
    if (!local.ends_with(u'\\')) local += u'\\';
    return local + u"Quillmarsh";
}

std::u16string Win32System::environmentVariable(const std::u16string& name) {
    const std::wstring key = win32::wide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        // The length without the NUL when it fits, the room needed with it
        // when not; 0 for a variable that is unset (or empty).
        const DWORD n = GetEnvironmentVariableW(key.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n < value.size()) {
            value.resize(n);
            return win32::fromWide(value);
        }
        value.resize(n);
    }
}

std::optional<System::VersionRecord> Win32System::versionRecord() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return std::nullopt;
    return VersionRecord{info.dwMajorVersion, info.dwMinorVersion, info.dwPlatformId};
}

std::u16string Win32System::programFolder() {
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (n == 0) return {};
        if (n < exe.size()) {
            exe.resize(n);
            break;
        }
        exe.resize(exe.size() * 2);  // cut off: try again with more room
    }
    const std::u16string path = withoutLongForm(win32::fromWide(exe));
    const std::size_t separator = path.rfind(u'\\');
    if (separator == std::u16string::npos) return {};
    // A drive root keeps its separator ("D:\"); any other folder has none.
    const bool driveRoot = separator == 2 && path[1] == u':';
    return path.substr(0, driveRoot ? separator + 1 : separator);
}

std::int64_t Win32System::utcOffset(const FileTime& time) {
    // The local time of the same moment, both as 100-ns steps from 1601.
    const std::uint64_t ticks = static_cast<std::uint64_t>(time.seconds + 11644473600LL) * 10000000;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utcParts, localParts;
    FILETIME local;
    if (!FileTimeToSystemTime(&utc, &utcParts) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts) ||
        !SystemTimeToFileTime(&localParts, &local))
        return 0;
    const std::uint64_t localTicks = (std::uint64_t{local.dwHighDateTime} << 32) | local.dwLowDateTime;
    return (static_cast<std::int64_t>(localTicks) - static_cast<std::int64_t>(ticks)) / 10000000;
}

FileTime Win32System::currentTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);  // Windows 7 has no precise variant
    return win32::timeOf(now);
}

std::uint64_t Win32System::clockSeed() {
    // The wall clock in 100-nanosecond steps tells apart runs started in the
    // same second; the performance counter, spread over all 64 bits, adds
    // what the wall clock's coarse ticks (often 15.6 ms) lack.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const std::uint64_t wall = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    return wall ^ (static_cast<std::uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull);
}

}  // namespace qm
