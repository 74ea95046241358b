#include "engine/record_marks.h"

#include <string>
#include <string_view>

#include "engine/record_format.h"
#include "text/utf.h"

namespace qm {

namespace {

constexpr std::string_view kMark = "# undone ";
constexpr std::size_t kBlock = 64 * 1024;

// The position after the last byte before `end` that is not `skip` (or,
// with `until`, the position after the last `until`); 0 when there is none.
std::optional<std::uint64_t> scanBack(std::uint64_t end, const ReadAt& read, char skip, bool until) {
    std::string block(kBlock, '\0');
    while (end > 0) {
        const std::uint64_t from = end > kBlock ? end - kBlock : 0;
        const auto want = static_cast<std::size_t>(end - from);
        if (read(from, block.data(), want) != static_cast<long long>(want)) return std::nullopt;
        for (std::size_t i = want; i > 0; --i) {
            if (until ? block[i - 1] == skip : block[i - 1] != skip) return from + i;
        }
        end = from;
    }
    return 0;
}

}  // namespace

std::optional<std::uint64_t> endOfLines(std::uint64_t size, const ReadAt& read) {
    const auto written = scanBack(size, read, '\0', false);
    if (!written) return std::nullopt;
    // What follows the last line end was a line being written when the run
    // died: no file was published for it.
    return scanBack(*written, read, '\n', true);
}

bool markedUndone(InputFile& record) {
    const ReadAt read = [&](std::uint64_t offset, char* buffer, std::size_t size) -> long long {
        if (!record.seek(offset)) return -1;
        std::size_t got = 0;
        while (got < size) {
            const long long n = record.read(buffer + got, size - got);
            if (n <= 0) return n < 0 ? -1 : static_cast<long long>(got);
            got += static_cast<std::size_t>(n);
        }
        return static_cast<long long>(got);
    };
    const auto written = scanBack(record.size(), read, '\0', false);
    if (!written || *written == 0) return false;
    // The last line: from after the line end (or zero byte, where an
    // earlier version wrote the mark after the zeros) before it.
    const std::uint64_t from = *written > 256 ? *written - 256 : 0;
    std::string tail(static_cast<std::size_t>(*written - from), '\0');
    if (read(from, tail.data(), tail.size()) != static_cast<long long>(tail.size())) return false;
    if (tail.back() == '\n') tail.pop_back();
    const std::size_t start = tail.find_last_of(std::string_view("\n\0", 2));
    return std::string_view(tail).substr(start == std::string::npos ? 0 : start + 1).starts_with(kMark);
}

bool markUndone(RecordFile& record, const FileTime& now) {
    const auto at = endOfLines(record.size(), [&](std::uint64_t offset, char* buffer, std::size_t size) {
        return record.readAt(offset, buffer, size);
    });
    if (!at) return false;
    std::string line(kMark);
    appendUtcTime(line, now);
    line += '\n';
    return record.writeAt(*at, line) && record.truncate(*at + line.size()) && record.close();
}

bool markUndone(System& system, const std::u16string& path) {
    const char16_t separator = system.pathStyle().separator;
    const std::size_t cut = path.rfind(separator);
    if (cut == std::u16string::npos || cut + 1 == path.size()) return false;
    // A root keeps its separator ("/", "C:\\").
    const bool root = cut == 0 || (cut == 2 && path[1] == u':');
    const std::unique_ptr<OpenFolder> folder = system.openFolder(path.substr(0, root ? cut + 1 : cut));
    const std::unique_ptr<RecordFile> file =
        folder ? system.openRecordIn(*folder, text::nativeName(path.substr(cut + 1))) : nullptr;
    return file && markUndone(*file, system.currentTime());
}

}  // namespace qm
