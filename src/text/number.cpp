#include "text/number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace qm {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

double leadingNumber(std::u16string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n') continue;
        s.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');  // non-ASCII ends the number
    }
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    std::string number = s.substr(mantissaStart, i - mantissaStart);
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent.push_back(s[j++]);
        std::size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) exponent.push_back(s[j++]), ++expDigits;
        if (expDigits > 0) number += exponent;
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: tell which by the exponent's sign.
        bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

}  // namespace qm
