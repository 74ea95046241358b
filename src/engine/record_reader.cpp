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

std::u16string shareNameIn(const RecordHeader& header, std::uint64_t share) {
    return share >= 1 && share <= header.names.size() ? header.names[share - 1] : text::decimal(share);
}

namespace {

// A path below a folder: its parts each a plain name.
bool plainPath(std::u16string_view path, char16_t separator) {
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(separator, start);
        if (!plainName(path.substr(start, end - start), separator)) return false;
        if (end == std::u16string_view::npos) return true;
        start = end + 1;
    }
}

}  // namespace

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
    auto begins = [&](std::string_view magic) {
        return magic.starts_with(start.substr(0, std::min(start.size(), magic.size()))) &&
               (start.size() <= magic.size() || start.back() == '\n' || start.back() == '\r' || start.back() == '\0');
    };
    const bool record = begins(kRecordMagic) || begins(kRecordMagic2);
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
        if ((cut_ || !partial_.empty()) && (kRecordMagic.starts_with(partial_) || kRecordMagic2.starts_with(partial_))) {
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
    if (text != kRecordMagic && text != kRecordMagic2) {
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
            static constexpr std::pair<std::string_view, RecordHeader::Mode> kModes[] = {
                {"copy", RecordHeader::Mode::Copy},      {"move", RecordHeader::Mode::Move},
                {"hardlink", RecordHeader::Mode::HardLink}, {"symlink", RecordHeader::Mode::SymLink},
                {"clone", RecordHeader::Mode::Clone},    {"lists", RecordHeader::Mode::Lists}};
            good = false;
            for (const auto& [word, kind] : kModes) {
                if (value == word) good = mode = true, header.mode = kind;
            }
            header.move = header.mode == RecordHeader::Mode::Move;
        } else if (key == "subfolders") {
            header.subfolders = true;
        } else if (key == "name") {
            // "# name K NAME": share K's name, in order from 1.
            const std::size_t space = value.find(' ');
            const auto k = parseNumber<std::uint64_t>(value.substr(0, space));
            std::optional<std::u16string> name =
                space == std::string_view::npos ? std::nullopt : unescapeField(value.substr(space + 1));
            good = k && *k == header.names.size() + 1 && name && plainName(*name, separator_);
            if (good) header.names.push_back(std::move(*name));
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
        } else if (key == "end" || key == "folder" || key == "list") {
            // The body's own lines: the header is over.
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
    if (!header.names.empty() && header.names.size() != header.folders) {
        error = "name 行与 folders 不符";
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
        if (text.starts_with("# folder ") || text.starts_with("# list ")) return folderOrList(text, row, error);
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
        // Each way of dealing has its outcomes (a move that could only copy
        // says copied, a clone that could only copy too).
        using Mode = RecordHeader::Mode;
        const Mode mode = header_.mode;
        const bool fits = *outcome == TransferOutcome::AlreadyThere || *outcome == TransferOutcome::Failed ||
                          (*outcome == TransferOutcome::Moved && mode == Mode::Move) ||
                          (*outcome == TransferOutcome::Copied &&
                           (mode == Mode::Copy || mode == Mode::Move || mode == Mode::Clone)) ||
                          (*outcome == TransferOutcome::Linked && mode == Mode::HardLink) ||
                          (*outcome == TransferOutcome::Symlinked && mode == Mode::SymLink) ||
                          (*outcome == TransferOutcome::Cloned && mode == Mode::Clone) ||
                          (*outcome == TransferOutcome::Listed && mode == Mode::Lists);
        if (!fits) {
            error = where() + "结果与清单所记的分发方式不符";
            return false;
        }
        // Where the run could have put it, and nowhere else. The prefixes
        // are made once per header and per share, not per row.
        if (importPrefix_.empty()) importPrefix_ = header_.importFolder + separator_;
        if (*share != prefixShare_) {
            sharePrefix_ = header_.shareRoot + shareNameIn(header_, *share) + separator_;
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
        // At the same place below the import folder and below share k: a
        // plain name, or with subfolders a path of plain names.
        const bool named = header_.subfolders ? plainPath(row.name, separator_) : plainName(row.name, separator_);
        if (!placed || !named) {
            error = where() + "源路径与目标路径不在清单所记的导入目录与分发文件夹中，或文件名不同";
            return false;
        }
        row.kind = RecordRow::Kind::File;
        row.share = *share;
        row.outcome = *outcome;
        row.stamp = {*id, {*size, *modified}};
        return true;
    }
}

bool RecordReader::folderOrList(std::string_view text, RecordRow& row, std::string& error) {
    if (text.starts_with("# folder ")) {
        // "# folder K<TAB>PATH": a folder below share K, at a path of plain names.
        std::array<std::string_view, 2> f;
        const auto share = fields(text.substr(9), f) == 2 ? parseNumber<std::uint64_t>(f[0]) : std::nullopt;
        if (!share || *share == 0 || *share > header_.folders || !header_.subfolders ||
            !unescapeFieldInto(f[1], row.name) || !plainPath(row.name, separator_)) {
            error = where() + "folder 一行无效";
            return false;
        }
        row.kind = RecordRow::Kind::Folder;
        row.share = *share;
        return true;
    }
    // "# list PATH<TAB>size<TAB>time<TAB>identity": a list beside the share
    // folders, named as the run names its lists.
    std::array<std::string_view, 4> f;
    const bool parts = fields(text.substr(7), f) == 4 && unescapeFieldInto(f[0], row.destination);
    const auto size = parts ? parseNumber<std::uint64_t>(f[1]) : std::nullopt;
    const auto modified = parts ? parseUtcTime(f[2]) : std::nullopt;
    const auto id = parts ? parseId(f[3]) : std::nullopt;
    bool listed = false;
    if (size && modified && id && row.destination.starts_with(header_.shareRoot) && row.destination.ends_with(u".txt")) {
        const std::u16string_view which = std::u16string_view(row.destination)
                                              .substr(header_.shareRoot.size(),
                                                      row.destination.size() - header_.shareRoot.size() - 4);
        if (which == u"共同") {
            listed = true;
        } else if (!header_.names.empty()) {
            listed = std::find(header_.names.begin(), header_.names.end(), which) != header_.names.end();
        } else {
            const auto k = parseNumber<std::uint64_t>(text::toUtf8(which));
            listed = k && *k >= 1 && *k <= header_.folders && text::decimal(*k) == which;
        }
    }
    if (!listed) {
        error = where() + "list 一行无效";
        return false;
    }
    row.kind = RecordRow::Kind::List;
    row.share = 0;
    row.name.clear();
    row.stamp = {*id, {*size, *modified}};
    return true;
}

}  // namespace qm
