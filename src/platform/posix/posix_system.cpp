// The environment, the program's own folder, the clock and where logs go.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/posix/posix_system.h"
#include "text/utf.h"

namespace qm {

namespace {

constexpr char16_t kFailureLogName[] = u"分发失败记录.txt";

std::u16string inFolder(const std::u16string& folder, std::u16string_view name) {
    std::u16string path = folder;
    if (!path.ends_with(u'/')) path += u'/';
    path += name;
    return path;
}

}  // namespace

PathStyle PosixSystem::pathStyle() const { return PathStyle{u'/', false}; }

std::vector<std::u16string> PosixSystem::failureLogPaths() {
    std::vector<std::u16string> paths;
    const std::u16string home = environmentVariable(u"HOME");
    if (!home.empty()) paths.push_back(inFolder(home, kFailureLogName));
    std::u16string temp = environmentVariable(u"TMPDIR");
    if (temp.empty()) temp = u"/tmp";
    paths.push_back(inFolder(temp, kFailureLogName));
    return paths;
}

std::u16string PosixSystem::stateFolder() {
    // The XDG base directories: an unset or relative $XDG_STATE_HOME means
    // the default below the home folder.
    const std::u16string state = environmentVariable(u"XDG_STATE_HOME");
    if (state.starts_with(u"/")) return inFolder(state, u"quillmarsh");
    const std::u16string home = environmentVariable(u"HOME");
    return home.empty() ? std::u16string() : inFolder(home, u".local/state/quillmarsh");
}

std::u16string PosixSystem::environmentVariable(const std::u16string& name) {
    const char* value = std::getenv(text::toUtf8(name).c_str());
    return value ? text::fromUtf8(value) : std::u16string();
}

std::optional<System::VersionRecord> PosixSystem::versionRecord() { return std::nullopt; }

std::u16string PosixSystem::programFolder() {
    std::string exe(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", exe.data(), exe.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < exe.size()) {
            exe.resize(static_cast<std::size_t>(n));
            break;
        }
        exe.resize(exe.size() * 2);  // possibly cut off: try again with more room
    }
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return {};
    return text::fromUtf8(slash == 0 ? std::string_view("/") : std::string_view(exe).substr(0, slash));
}

std::int64_t PosixSystem::utcOffset(const FileTime& time) {
    const time_t seconds = static_cast<time_t>(time.seconds);
    struct tm local;
    return localtime_r(&seconds, &local) ? local.tm_gmtoff : 0;
}

FileTime PosixSystem::currentTime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return {static_cast<std::int64_t>(now.tv_sec), static_cast<std::uint32_t>(now.tv_nsec)};
}

std::uint64_t PosixSystem::clockSeed() {
    // Wall-clock nanoseconds tell apart runs started in the same second; the
    // monotonic clock, spread over all 64 bits, adds what the wall clock may
    // lack on systems with a coarse one, and differs from boot to boot.
    using namespace std::chrono;
    const auto wall = static_cast<std::uint64_t>(
        duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count());
    const auto mono = static_cast<std::uint64_t>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
    return wall ^ (mono * 0x9E3779B97F4A7C15ull);
}

}  // namespace qm
