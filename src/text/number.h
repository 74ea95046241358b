// Reading the count fields and the file count as numbers.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// The number at the start of a text: blanks, tabs and line feeds anywhere are
// skipped; then an optional sign, digits, an optional decimal point with
// digits and an optional exponent, up to the first character that cannot
// continue the number. A text without such a number reads as 0; a number
// beyond the range of a double reads as an infinity of its sign.
double leadingNumber(std::u16string_view text);

}  // namespace qm
