#include "engine/record_format.h"

#include <charconv>
#include <cstdio>
#include <iterator>
#include <limits>

#include "text/utf.h"

namespace qm {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isLoneByte(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }  // a byte that is not UTF-8
bool isSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The escape for one code unit, or nothing when it goes as it is.
std::string_view escapeOf(char16_t c, char (&buffer)[8]) {
    switch (c) {
        case u'\\':
            return "\\\\";
        case u'\t':
            return "\\t";
        case u'\n':
            return "\\n";
        case u'\r':
            return "\\r";
        default:
            break;
    }
    if (c < 0x20 || c == 0x7F) {
        std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
    } else if (isLoneByte(c)) {
        std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c - 0xDC00));
    } else if ((c >= 0x80 && c <= 0x9F) || isSurrogate(c)) {
        std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
    } else {
        return {};
    }
    return buffer;
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and
// back, for any year a 64-bit count of seconds can reach (after H. Hinnant's
// public-domain date algorithms).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

bool leapYear(std::int64_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

unsigned daysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

constexpr const char* kOutcomeWords[] = {"moved    ", "copied   ", "identical", "failed   ",
                                          "linked   ", "symlinked", "cloned   ", "listed   "};

}  // namespace

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}
template std::optional<std::uint64_t> parseNumber<std::uint64_t>(std::string_view);
template std::optional<std::int64_t> parseNumber<std::int64_t>(std::string_view);
template std::optional<unsigned> parseNumber<unsigned>(std::string_view);

void appendNumber(std::string& out, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

std::string escapeField(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t plain = 0;  // start of the run of text that needs no escape
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            ++i;
            continue;
        }
        char buffer[8];
        const std::string_view escape = escapeOf(c, buffer);
        if (escape.empty()) continue;
        out += text::toUtf8(text.substr(plain, i - plain));
        out += escape;
        plain = i + 1;
    }
    if (plain < text.size()) out += text::toUtf8(text.substr(plain));
    return out;
}

std::optional<std::u16string> unescapeField(std::string_view field) {
    std::u16string out;
    if (!unescapeFieldInto(field, out)) return std::nullopt;
    return out;
}

bool unescapeFieldInto(std::string_view field, std::u16string& out) {
    out.clear();
    std::size_t plain = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        // A raw control character is never written; finding one means the
        // text was not made by escapeField.
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\0') || c == 0x7F) return false;
        if (c != '\\') continue;
        text::appendUtf8(out, field.substr(plain, i - plain));
        if (i + 1 >= field.size()) return false;
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
            if (i + 2 + digits > field.size()) return false;
            unsigned value = 0;
            for (std::size_t k = 0; k < digits; ++k) {
                const int d = hexDigit(field[i + 2 + k]);
                if (d < 0) return false;
                value = value * 16 + static_cast<unsigned>(d);
            }
            // One spelling per name: only what escapeField writes is taken.
            const char16_t unit = static_cast<char16_t>(kind == 'x' && value >= 0x80 ? 0xDC00 + value : value);
            char buffer[8];
            const std::string_view expected = escapeOf(unit, buffer);
            if (expected != field.substr(i, 2 + digits)) return false;
            out += unit;
        } else {
            return false;
        }
        i += 1 + digits;
        plain = i + 1;
    }
    text::appendUtf8(out, field.substr(std::min(plain, field.size())));
    return true;
}

void appendUtcTime(std::string& out, const FileTime& time) {
    // Floor division, written so that no step can overflow at either end of
    // the 64-bit range.
    const std::int64_t remainder = time.seconds % 86400;
    const std::int64_t days = time.seconds / 86400 - (remainder < 0 ? 1 : 0);
    const auto inDay = static_cast<std::uint64_t>(remainder < 0 ? remainder + 86400 : remainder);
    // The files of a run were mostly made on a few days: the date is worked
    // out once per day, the rest is plain digits.
    thread_local std::int64_t cachedDay = std::numeric_limits<std::int64_t>::min();
    thread_local char date[32];
    if (days != cachedDay) {
        const Civil civil = civilFromDays(days);
        const std::uint64_t magnitude =
            civil.year < 0 ? static_cast<std::uint64_t>(-(civil.year + 1)) + 1 : static_cast<std::uint64_t>(civil.year);
        std::snprintf(date, sizeof date, "%s%04llu-%02u-%02uT", civil.year < 0 ? "-" : "",
                      static_cast<unsigned long long>(magnitude), civil.month, civil.day);
        cachedDay = days;
    }
    char clock[] = "00:00:00.000000000Z";
    std::uint32_t ns = time.nanoseconds;
    for (int i = 17; i >= 9; --i, ns /= 10) clock[i] = static_cast<char>('0' + ns % 10);
    const std::uint64_t parts[3] = {inDay / 3600, inDay / 60 % 60, inDay % 60};
    for (int k = 0; k < 3; ++k) {
        clock[k * 3] = static_cast<char>('0' + parts[k] / 10);
        clock[k * 3 + 1] = static_cast<char>('0' + parts[k] % 10);
    }
    out += date;
    out += clock;
}

std::optional<FileTime> parseUtcTime(std::string_view text) {
    // [-]YYYY...-MM-DDTHH:MM:SS.nnnnnnnnnZ: the part after the year is fixed.
    constexpr std::size_t kTail = 26;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    if (text.size() < 4 + kTail || text.size() > 12 + kTail) return std::nullopt;
    const std::string_view yearText = text.substr(0, text.size() - kTail), tail = text.substr(yearText.size());
    if (tail[0] != '-' || tail[3] != '-' || tail[6] != 'T' || tail[9] != ':' || tail[12] != ':' || tail[15] != '.' ||
        tail[25] != 'Z')
        return std::nullopt;
    const auto year = parseNumber<std::int64_t>(yearText);
    const auto month = parseNumber<unsigned>(tail.substr(1, 2)), day = parseNumber<unsigned>(tail.substr(4, 2));
    const auto hour = parseNumber<unsigned>(tail.substr(7, 2)), minute = parseNumber<unsigned>(tail.substr(10, 2));
    const auto second = parseNumber<unsigned>(tail.substr(13, 2));
    const auto ns = parseNumber<unsigned>(tail.substr(16, 9));
    if (!year || !month || !day || !hour || !minute || !second || !ns) return std::nullopt;
    if (negative && *year == 0) return std::nullopt;  // "-0000" is a second spelling of year 0
    const std::int64_t y = negative ? -*year : *year;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(y, *month) || *hour > 23 || *minute > 59 ||
        *second > 59)
        return std::nullopt;
    std::int64_t seconds = 0;
    if (__builtin_mul_overflow(daysFromCivil(y, *month, *day), std::int64_t{86400}, &seconds) ||
        __builtin_add_overflow(seconds, static_cast<std::int64_t>(*hour * 3600 + *minute * 60 + *second), &seconds))
        return std::nullopt;
    return FileTime{seconds, *ns};
}

void appendOutcome(std::string& out, TransferOutcome outcome) { out += kOutcomeWords[static_cast<int>(outcome)]; }

std::optional<TransferOutcome> parseOutcome(std::string_view field) {
    for (int o = 0; o < static_cast<int>(std::size(kOutcomeWords)); ++o) {
        if (field == kOutcomeWords[o]) return static_cast<TransferOutcome>(o);
    }
    return std::nullopt;
}

void appendId(std::string& out, const FileId& id) {
    char text[kIdWidth + 1];
    std::snprintf(text, sizeof text, "%016llx:%016llx", static_cast<unsigned long long>(id.volume),
                  static_cast<unsigned long long>(id.index));
    out.append(text, kIdWidth);
}

std::optional<FileId> parseId(std::string_view field) {
    if (field.size() != kIdWidth || field[16] != ':') return std::nullopt;
    FileId id;
    for (std::size_t i = 0; i < kIdWidth; ++i) {
        if (i == 16) continue;
        const int d = hexDigit(field[i]);
        if (d < 0) return std::nullopt;
        std::uint64_t& part = i < 16 ? id.volume : id.index;
        part = part * 16 + static_cast<unsigned>(d);
    }
    return id;
}

}  // namespace qm
