#include "engine/manifest.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>

#include "text/utf.h"
#include "window/controls.h"

namespace qm {

namespace {

constexpr std::string_view kMagic = "# quillmarsh manifest 1";

const char* outcomeWord(TransferOutcome outcome) {
    switch (outcome) {
        case TransferOutcome::Moved:
            return "moved";
        case TransferOutcome::Copied:
            return "copied";
        case TransferOutcome::AlreadyThere:
            return "identical";
        case TransferOutcome::Failed:
            break;
    }
    return "failed";
}

std::optional<TransferOutcome> outcomeOf(std::string_view word) {
    for (TransferOutcome o : {TransferOutcome::Moved, TransferOutcome::Copied, TransferOutcome::AlreadyThere,
                              TransferOutcome::Failed}) {
        if (word == outcomeWord(o)) return o;
    }
    return std::nullopt;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::vector<std::string_view> split(std::string_view line, char by) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = line.find(by);
        parts.push_back(line.substr(0, at));
        if (at == std::string_view::npos) return parts;
        line.remove_prefix(at + 1);
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string escapeField(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t plain = 0;  // start of the run of text that needs no escape
    auto flushPlain = [&](std::size_t upTo) {
        out += text::toUtf8(text.substr(plain, upTo - plain));
        plain = upTo + 1;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            ++i;
            continue;
        }
        char escape[8] = {};
        if (c == u'\\') {
            std::snprintf(escape, sizeof escape, "\\\\");
        } else if (c == u'\t') {
            std::snprintf(escape, sizeof escape, "\\t");
        } else if (c == u'\n') {
            std::snprintf(escape, sizeof escape, "\\n");
        } else if (c == u'\r') {
            std::snprintf(escape, sizeof escape, "\\r");
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c - 0xDC00));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
        } else {
            continue;
        }
        flushPlain(i);
        out += escape;
    }
    if (plain < text.size()) out += text::toUtf8(text.substr(plain));
    return out;
}

std::optional<std::u16string> unescapeField(std::string_view field) {
    std::u16string out;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') continue;
        out += text::fromUtf8(field.substr(plain, i - plain));
        if (i + 1 >= field.size()) return std::nullopt;
        const char kind = field[i + 1];
        std::size_t digits = 0;
        if (kind == '\\') {
            out += u'\\';
        } else if (kind == 't') {
            out += u'\t';
        } else if (kind == 'n') {
            out += u'\n';
        } else if (kind == 'r') {
            out += u'\r';
        } else if (kind == 'x' || kind == 'u') {
            digits = kind == 'x' ? 2 : 4;
            if (i + 2 + digits > field.size()) return std::nullopt;
            unsigned value = 0;
            for (std::size_t k = 0; k < digits; ++k) {
                const int d = hexDigit(field[i + 2 + k]);
                if (d < 0) return std::nullopt;
                value = value * 16 + static_cast<unsigned>(d);
            }
            if (kind == 'x' && value < 0x80) return std::nullopt;
            out += static_cast<char16_t>(kind == 'x' ? 0xDC00 + value : value);
        } else {
            return std::nullopt;
        }
        i += 1 + digits;
        plain = i + 1;
    }
    out += text::fromUtf8(field.substr(std::min(plain, field.size())));
    return out;
}

void appendUtcTime(std::string& out, std::int64_t sinceEpoch) {
    using namespace std::chrono;
    const nanoseconds ns(sinceEpoch);
    const auto day = floor<days>(sys_time<nanoseconds>(ns));
    // The files of a run were mostly made on a few days: the date is worked
    // out once per day, the rest is plain digits.
    thread_local std::int64_t cachedDay = std::numeric_limits<std::int64_t>::min();
    thread_local char date[16];
    if (day.time_since_epoch().count() != cachedDay) {
        const year_month_day ymd{day};
        std::snprintf(date, sizeof date, "%04d-%02u-%02uT", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
        cachedDay = day.time_since_epoch().count();
    }
    std::uint64_t inDay = static_cast<std::uint64_t>((ns - day.time_since_epoch()).count());
    char clock[] = "00:00:00.000000000Z";
    for (int i = 17; i >= 9; --i, inDay /= 10) clock[i] = static_cast<char>('0' + inDay % 10);
    const std::uint64_t second = inDay;
    const std::uint64_t parts[3] = {second / 3600, second / 60 % 60, second % 60};
    for (int k = 0; k < 3; ++k) {
        clock[k * 3] = static_cast<char>('0' + parts[k] / 10);
        clock[k * 3 + 1] = static_cast<char>('0' + parts[k] % 10);
    }
    out += date;
    out += clock;
}

std::optional<std::int64_t> parseUtcTime(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS.nnnnnnnnnZ
    if (text.size() != 30 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != '.' || text[29] != 'Z')
        return std::nullopt;
    const auto y = parseNumber<int>(text.substr(0, 4));
    const auto mo = parseNumber<unsigned>(text.substr(5, 2)), d = parseNumber<unsigned>(text.substr(8, 2));
    const auto h = parseNumber<int>(text.substr(11, 2)), mi = parseNumber<int>(text.substr(14, 2));
    const auto s = parseNumber<int>(text.substr(17, 2));
    const auto ns = parseNumber<std::int64_t>(text.substr(20, 9));
    if (!y || !mo || !d || !h || !mi || !s || !ns) return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year{*y}, month{*mo}, day{*d}};
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    const auto t = sys_days{date}.time_since_epoch() + hours{*h} + minutes{*mi} + seconds{*s};
    return duration_cast<nanoseconds>(t).count() + *ns;
}

std::optional<Manifest> parseManifest(std::string_view bytes, std::string& error) {
    Manifest manifest;
    std::vector<std::string_view> lines = split(bytes, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    bool haveSeed = false, haveMode = false;
    std::size_t number = 0;
    for (std::string_view line : lines) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto fail = [&](const std::string& why) {
            error = "第" + std::to_string(number) + "行：" + why;
            return std::nullopt;
        };
        if (number == 1) {
            if (line != kMagic) return fail("不是 quillmarsh 的分发清单");
            continue;
        }
        if (line.starts_with("# seed ")) {
            const auto seed = parseNumber<std::uint64_t>(line.substr(7));
            if (!seed) return fail("随机种子无效");
            manifest.seed = *seed;
            haveSeed = true;
            continue;
        }
        if (line.starts_with("# mode ")) {
            if (line.substr(7) != "copy" && line.substr(7) != "move") return fail("分发方式无效");
            manifest.move = line.substr(7) == "move";
            haveMode = true;
            continue;
        }
        if (line.starts_with("#")) continue;
        const std::vector<std::string_view> fields = split(line, '\t');
        if (fields.size() != 6) return fail("应有6个字段");
        ManifestRow row;
        const auto share = parseNumber<std::uint64_t>(fields[0]);
        auto source = unescapeField(fields[1]), destination = unescapeField(fields[2]);
        const auto outcome = outcomeOf(fields[3]);
        const auto size = parseNumber<std::uint64_t>(fields[4]);
        const auto modified = parseUtcTime(fields[5]);
        if (!share || !source || !destination || !outcome || !size || !modified) return fail("字段无效");
        manifest.rows.push_back({*share, std::move(*source), std::move(*destination), *outcome, {*size, *modified}});
    }
    if (number == 0) {
        error = "文件是空的";
        return std::nullopt;
    }
    if (!haveSeed || !haveMode) {
        error = "缺少 # seed 或 # mode 行";
        return std::nullopt;
    }
    return manifest;
}

RowWriter::RowWriter(const RunPlan& plan, const FileList& files, char16_t separator)
    : files_(files),
      source_(escapeField(plan.sourceFolder + separator)),
      shareRoot_(escapeField(plan.shareRoot)),
      separator_(escapeField(std::u16string(1, separator))) {}

namespace {

// A stored name as a field. Most names need no escape at all: on POSIX a name
// of plain ASCII without tabs, line ends or backslashes goes as it is.
void appendName(std::string& out, NativeNameView name) {
    if constexpr (sizeof(NameUnit) == 1) {
        const bool plain = std::all_of(name.begin(), name.end(), [](NameUnit u) {
            const auto c = static_cast<unsigned char>(u);
            return c >= 0x20 && c < 0x80 && c != '\\';
        });
        if (plain) {
            out.append(name.begin(), name.end());
            return;
        }
    }
    out += escapeField(text::nameText(name));
}

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

}  // namespace

void RowWriter::append(std::string& out, const RunRow& row) const {
    const std::size_t nameAt = out.size();
    appendNumber(out, row.share);
    const std::size_t shareEnd = out.size();
    out += '\t';
    out += source_;
    const std::size_t nameStart = out.size();
    appendName(out, files_.names().name(row.name));
    const std::size_t nameEnd = out.size();
    out += '\t';
    out += shareRoot_;
    out.append(out, nameAt, shareEnd - nameAt);
    out += separator_;
    out.append(out, nameStart, nameEnd - nameStart);
}

void ManifestWriter::begin(const RunPlan& plan, const FileList& files) {
    rows_.emplace(plan, files, separator_);
    buffer_ = std::string(kMagic) + "\n# seed " + std::to_string(plan.seed) + "\n# mode " +
              (plan.move ? "move" : "copy") + "\n";
}

void ManifestWriter::record(const RunRow& row, const TransferResult& result) {
    rows_->append(buffer_, row);
    buffer_ += '\t';
    buffer_ += outcomeWord(result.outcome);
    buffer_ += '\t';
    appendNumber(buffer_, result.facts.size);
    buffer_ += '\t';
    appendUtcTime(buffer_, result.facts.modified);
    buffer_ += '\n';
    if (buffer_.size() >= 64 * 1024) flush();
}

void ManifestWriter::flush() {
    if (ok_ && !file_->write(buffer_)) ok_ = false;
    buffer_.clear();
}

void ManifestWriter::end() {
    flush();
    written_ = ok_ && file_->commit();
}

}  // namespace qm
