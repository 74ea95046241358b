#include "engine/record_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/record_format.h"
#include "engine/record_writer.h"
#include "engine/share_folders.h"
#include "text/utf.h"

namespace qm {

namespace {

// Longer than any line a run writes: two paths of the longest the systems
// allow (32,767 UTF-16 units on Windows, each at most 3 bytes of UTF-8 or a
// 6-byte escape), and the other fields.
constexpr std::size_t kMaxLine = 512 * 1024;
constexpr std::size_t kChunk = 64 * 1024;

// The tab-separated fields of a line into `parts`; how many there are
// (counting on past the room, so that a line with too many is seen).
template <std::size_t N>
std::size_t fields(std::string_view line, std::array<std::string_view, N>& parts) {
    for (std::size_t count = 0;; ++count) {
        const std::size_t at = line.find('\t');
        if (count < N) parts[count] = line.substr(0, at);
        if (at == std::string_view::npos) return count + 1;
        line.remove_prefix(at + 1);
    }
}

// A file name that stands alone in a folder: not empty, not "." or "..",
// and free of what the system cannot hold in a name. On POSIX systems that
// is only "/" and NUL (a backslash is an ordinary character there); on
// Windows both separators and ":" (which would name a stream of a file).
bool plainName(std::u16string_view name, char16_t separator) {
    const std::u16string_view refused =
        separator == u'\\' ? std::u16string_view(u"/\\:\0", 4) : std::u16string_view(u"/\0", 2);
    return !name.empty() && name != u"." && name != u".." && name.find_first_of(refused) == std::u16string_view::npos;
}

constexpr std::string_view kUndoneMark = "# undone ";

}  // namespace

std::u16string sharePath(const std::u16string& shareRoot, std::uint64_t share, char16_t separator) {
    return shareRoot + text::decimal(share) + separator;
}

RecordReader::RecordReader(InputFile& file, char16_t separator)
    : file_(file), separator_(separator), buffer_(kChunk) {}

std::string RecordReader::where() const { return "第" + std::to_string(number_) + "行："; }

bool RecordReader::refill(std::string& error) {
    // Keep the unread part, make room, read on.
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
    if (buffer_.size() - end_ < kChunk) buffer_.resize(std::min(kMaxLine + kChunk, buffer_.size() * 2));
    const long long n = file_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (n < 0) {
        error = "读取失败";
        return false;
    }
    if (n == 0) eof_ = true;
    end_ += static_cast<std::size_t>(n);
    return true;
}

bool RecordReader::zeroTail(std::size_t at, std::string& error) {
    const std::uint64_t lineNumber = number_ + 1;
    begin_ = at;
    for (;;) {
        while (begin_ < end_ && buffer_[begin_] == '\0') ++begin_;
        if (begin_ < end_) {
            // Only the mark of an undo may follow the zeros (an earlier
            // version wrote it there), as whole lines.
            const char* start = buffer_.data() + begin_;
            const void* newline = std::memchr(start, '\n', end_ - begin_);
            if (!newline && !eof_ && end_ - begin_ < 256) {
                if (!refill(error)) return false;
                continue;
            }
            const std::string_view mark(start, newline ? static_cast<const char*>(newline) - start : end_ - begin_);
            if (!newline || !mark.starts_with(kUndoneMark) || mark.find('\0') != std::string_view::npos) {
                error = "第" + std::to_string(lineNumber) + "行：清单已损坏，其中有一段零字节";
                return false;
            }
            undone_ = true;
            begin_ += mark.size() + 1;
            continue;
        }
        if (eof_) return true;
        if (!refill(error)) return false;
    }
}

bool RecordReader::line(std::string_view& text, std::string& error) {
    for (;;) {
        const char* start = buffer_.data() + begin_;
        const void* newline = std::memchr(start, '\n', end_ - begin_);
        const std::size_t length = newline ? static_cast<const char*>(newline) - start : end_ - begin_;
        // A zero byte is never part of a line: it is the room a killed run
        // had reserved for lines, and where one stands, the run was killed
        // while it wrote that line (before its file was published). Nothing
        // of the record may follow.
        if (const void* zero = std::memchr(start, '\0', length)) {
            partial_.assign(start, std::min<std::size_t>(static_cast<const char*>(zero) - start, 64));
            if (!zeroTail(static_cast<std::size_t>(static_cast<const char*>(zero) - buffer_.data()), error)) return false;
            begin_ = end_;
            eof_ = cut_ = true;
            return false;
        }
        if (newline) {
            text = std::string_view(start, length);
            begin_ += length + 1;
            ++number_;
            if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
            return true;
        }
        if (eof_) {
            // A run killed while writing a line leaves it without its end;
            // its file was not published (the line comes first).
            if (begin_ != end_) ++number_;
            partial_.assign(start, std::min<std::size_t>(length, 64));
            begin_ = end_;
            return false;
        }
        if (end_ - begin_ >= kMaxLine) {
            error = "第" + std::to_string(number_ + 1) + "行：太长";
            return false;
        }
        if (!refill(error)) return false;
    }
}

bool RecordReader::readHeader(RecordHeader& header, std::string& error) {
    // The first line says what the file is; nothing else is guessed at.
    // Enough of the file is looked at to tell, before any rule about lines
    // or zeros is applied to what may be anything at all.
    while (!eof_ && end_ - begin_ <= kRecordMagic.size()) {
        if (!refill(error)) return false;
    }
    const std::string_view start(buffer_.data() + begin_, std::min(end_ - begin_, kRecordMagic.size() + 1));
    const std::string_view old = "# quillmarsh manifest 1";
    const bool record = kRecordMagic.starts_with(start.substr(0, std::min(start.size(), kRecordMagic.size()))) &&
                        (start.size() <= kRecordMagic.size() || start.back() == '\n' || start.back() == '\r' ||
                         start.back() == '\0');
    if (!record && !start.starts_with(old)) {
        error = "不是分发清单";
        return false;
    }
    std::string_view text;
    const bool whole = line(text, error);
    if (!error.empty()) return false;
    if (!whole) {
        // Killed while it wrote its first line: a piece of it, then the
        // room it had reserved. Anything else is not a record.
        if ((cut_ || !partial_.empty()) && kRecordMagic.starts_with(partial_)) {
            header.begun = false;
            header_ = header;
            return true;
        }
        error = "不是分发清单";
        return false;
    }
    if (text == "# quillmarsh manifest 1") {
        error = "这是旧版本写下的清单，其中没有撤销所需的文件标识，无法安全撤销";
        return false;
    }
    if (text != kRecordMagic) {
        error = "不是分发清单";
        return false;
    }
    bool seed = false, mode = false, import = false, exported = false, shares = false, folders = false;
    bool any = false;
    while (line(text, error)) {
        any = true;
        if (!text.starts_with("# ")) {
            pending_ = text;
            havePending_ = true;
            break;
        }
        const std::string_view key = text.substr(2, text.find(' ', 2) - 2);
        const std::string_view value = text.size() > key.size() + 3 ? text.substr(key.size() + 3) : std::string_view();
        auto path = [&](std::u16string& out, bool& have) {
            std::optional<std::u16string> unescaped = unescapeField(value);
            if (!unescaped || unescaped->empty()) return false;
            out = std::move(*unescaped);
            return have = true;
        };
        bool good = true;
        if (key == "seed") {
            const auto number = parseNumber<std::uint64_t>(value);
            good = seed = number.has_value();
            if (number) header.seed = *number;
        } else if (key == "folders") {
            // A run deals at most 2^32 files, and so makes no more folders.
            const auto number = parseNumber<std::uint64_t>(value);
            good = folders = number && *number >= 1 && *number <= 0xFFFFFFFFu;
            if (good) header.folders = *number;
        } else if (key == "mode") {
            good = mode = value == "copy" || value == "move";
            header.move = value == "move";
        } else if (key == "time") {
            header.time = parseUtcTime(value);
            good = header.time.has_value();
        } else if (key == "import") {
            good = path(header.importFolder, import);
        } else if (key == "export") {
            good = path(header.targetFolder, exported);
        } else if (key == "shares") {
            good = path(header.shareRoot, shares);
        } else if (key == "made") {
            std::u16string folder;
            bool have = false;
            good = path(folder, have);
            if (good) header.made.push_back(std::move(folder));
        } else if (key == "undone") {
            undone_ = true;
        } else if (key == "end") {
            pending_ = text;
            havePending_ = true;
            break;
        }
        if (!good) {
            error = where() + "“" + std::string(key) + "”一行无效";
            return false;
        }
    }
    if (!error.empty()) return false;
    if (!any || (cut_ && !(seed && mode && import && exported && shares && folders))) {
        // Killed before, or while, it wrote the header: before it made anything.
        header.begun = false;
        header_ = header;
        return true;
    }
    if (!seed || !mode || !import || !exported || !shares || !folders) {
        error = "缺少 seed、mode、import、export、shares 或 folders 行";
        return false;
    }
    // Share folders are made inside the target folder and named for the
    // source folder: a share root anywhere else was not made by a run.
    const std::optional<ShareLayout> layout = shareLayout(header.targetFolder, header.shareRoot, separator_);
    if (!layout || !header.shareRoot.ends_with(u"_分发")) {
        error = "shares 一行不是 export 之中的分发文件夹";
        return false;
    }
    // The folders a run made lie on its way from the target to the shares.
    const std::vector<std::u16string> way = foldersOnTheWay(*layout, separator_);
    for (const std::u16string& made : header.made) {
        if (std::find(way.begin(), way.end(), made) == way.end()) {
            error = "made 一行不是 export 与分发文件夹之间的文件夹";
            return false;
        }
    }
    header_ = header;
    return true;
}

bool RecordReader::next(RecordRow& row, std::string& error) {
    for (;;) {
        std::string_view text;
        if (havePending_) {
            text = pending_;
            havePending_ = false;
        } else if (!line(text, error)) {
            return false;
        }
        if (ending_ != Ending::Missing) {
            // Nothing but remarks after the last line.
            if (text.starts_with(kUndoneMark)) undone_ = true;
            if (text.starts_with("#")) continue;
            error = where() + "结束行之后还有内容";
            return false;
        }
        if (text.starts_with("# end")) {
            if (text == "# end") {
                ending_ = Ending::Complete;
            } else if (const auto n = text.starts_with("# end interrupted ")
                                          ? parseNumber<std::uint64_t>(text.substr(18))
                                          : std::nullopt) {
                ending_ = Ending::Interrupted;
                notDealt_ = *n;
            } else {
                error = where() + "结束行无效";
                return false;
            }
            continue;
        }
        if (text.starts_with(kUndoneMark)) undone_ = true;
        if (text.starts_with("#")) continue;
        std::array<std::string_view, 7> f;
        if (fields(text, f) != f.size()) {
            error = where() + "应有7个字段";
            return false;
        }
        const auto share = parseNumber<std::uint64_t>(f[0]);
        const bool paths = unescapeFieldInto(f[1], row.source) && unescapeFieldInto(f[2], row.destination);
        const auto outcome = parseOutcome(f[3]);
        const auto size = parseNumber<std::uint64_t>(f[4]);
        const auto modified = parseUtcTime(f[5]);
        const auto id = parseId(f[6]);
        if (!share || *share == 0 || *share > header_.folders || !paths || !outcome || !size || !modified || !id) {
            error = where() + "字段无效";
            return false;
        }
        if (*outcome == TransferOutcome::Moved && !header_.move) {
            error = where() + "复制的分发中不会有 moved";
            return false;
        }
        // Where the run could have put it, and nowhere else. The prefixes
        // are made once per header and per share, not per row.
        if (importPrefix_.empty()) importPrefix_ = header_.importFolder + separator_;
        if (*share != prefixShare_) {
            sharePrefix_ = sharePath(header_.shareRoot, *share, separator_);
            prefixShare_ = *share;
        }
        const std::u16string_view source(row.source), destination(row.destination);
        const bool placed = source.starts_with(importPrefix_) && destination.starts_with(sharePrefix_) &&
                            source.substr(importPrefix_.size()) == destination.substr(sharePrefix_.size());
        if (placed) {
            row.name.assign(destination.substr(sharePrefix_.size()));
        } else {
            row.name.clear();
        }
        if (!placed || !plainName(row.name, separator_)) {
            error = where() + "源路径与目标路径不在清单所记的导入目录与分发文件夹中，或文件名不同";
            return false;
        }
        row.share = *share;
        row.outcome = *outcome;
        row.stamp = {*id, {*size, *modified}};
        return true;
    }
}

}  // namespace qm
