// The text of a run's record and of a dry run's plan: fields that any file
// name and any time survive.
//
// In the paths a backslash, a tab, a line feed and a carriage return are
// written \\ \t \n \r; the other control characters (C0 and DEL) \xHH, so
// that no name can drive a terminal; a byte of a name that is not UTF-8
// \xHH with HH from 80 to FF; a C1 control character \u0080 to \u009F (\x80
// to \x9F already stand for bytes); and (on Windows) a lone surrogate \uDXXX.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_types.h"

namespace qm {

std::string escapeField(std::u16string_view text);
std::optional<std::u16string> unescapeField(std::string_view field);
// The same into `out`, keeping its room; false (and `out` unspecified) for
// text escapeField would not have written.
bool unescapeFieldInto(std::string_view field, std::u16string& out);

// 2024-06-11T14:32:05.123456789Z (UTC). Years before 1000 or after 9999
// take as many digits as they need, and a "-" before year 0 and earlier.
void appendUtcTime(std::string& out, const FileTime& time);
inline std::string utcTime(const FileTime& time) {
    std::string out;
    appendUtcTime(out, time);
    return out;
}
std::optional<FileTime> parseUtcTime(std::string_view text);

// Two fixed-width fields, so that a line can be corrected in place once the
// outcome of its transfer is known: the outcome word padded with spaces to
// nine characters, and the identity as two 16-digit hexadecimal numbers.
constexpr std::size_t kOutcomeWidth = 9;
constexpr std::size_t kIdWidth = 33;
void appendOutcome(std::string& out, TransferOutcome outcome);
std::optional<TransferOutcome> parseOutcome(std::string_view field);
void appendId(std::string& out, const FileId& id);
std::optional<FileId> parseId(std::string_view field);

template <typename Number>
std::optional<Number> parseNumber(std::string_view text);
void appendNumber(std::string& out, std::uint64_t value);

}  // namespace qm
