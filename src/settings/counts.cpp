// The two count fields, the dispatch mode and the dispatch button.
#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "settings/count_rules.h"
#include "text/number.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

namespace {

// A field holds at most 6 characters, so a whole number written by the
// normalisation never needs more than this many digits; anything larger
// (only an exponent can reach it) is in any case above every file count.
constexpr double kLargestWritten = 1e15;

// Digits and Backspace pass; every other key is dropped with a beep.
void digitsOnly(User& user, std::int16_t& key) {
    if ((key >= u'0' && key <= u'9') || key == 8) return;
    key = 0;
    user.beep();
}

}  // namespace

// Brings a count field to a whole number from 1 to the file count, or to the
// file count itself. A fraction is rounded to the nearest whole number
// (halves away from zero) and to 1 at the least, so that a run never divides
// by a count below 1 and the field always ends as plain digits.
NormalizedCount normalizedCount(double read, double files, std::uint64_t fallback) {
    double value = std::fabs(read);
    // Beyond every file count: the field shows the count.
    if (std::isinf(value) || value > kLargestWritten) return {0, true};
    if (value > 0) value = std::max(1.0, std::round(value));
    auto whole = static_cast<std::uint64_t>(value);
    if (whole == 0) whole = fallback;
    if (!(files > static_cast<double>(whole))) return {0, true};
    return {whole, false};
}

void Form1::normalizeCount(TextBox& field, const std::u16string& fallback) {
    const NormalizedCount count =
        normalizedCount(leadingNumber(field.text()), leadingNumber(LFiles.caption()), leadingNumber(fallback));
    field.setText(count.fileCount ? LFiles.caption() : text::decimal(count.value));
}

void Form1::TParts_Validate(bool& /*cancel*/) { normalizeCount(TParts, u"50"); }

void Form1::TDivs_Validate(bool& /*cancel*/) { normalizeCount(TDivs, u"1"); }

void Form1::TParts_KeyPress(std::int16_t& key) { digitsOnly(user(), key); }

void Form1::TDivs_KeyPress(std::int16_t& key) { digitsOnly(user(), key); }

// Choosing a mode discards the number its field held: the field starts again
// from its mode's value, normalised, wholly selected and focused.
void Form1::switchMode(TextBox& chosen, TextBox& other, const std::u16string& start) {
    chosen.setEnabled(true);
    other.setEnabled(false);
    chosen.setText(start);
    bool cancel = false;
    chosen.onValidate(cancel);
    chosen.setSelection(0, 6);
    setFocus(chosen);
}

void Form1::Opt1_Click() { switchMode(TParts, TDivs, u"50"); }

void Form1::Opt2_Click() { switchMode(TDivs, TParts, u"5"); }

void Form1::LFiles_Change() {
    bool cancel = false;
    if (Opt1.value()) {
        TParts_Validate(cancel);
    } else {
        TDivs_Validate(cancel);
    }
    CmdDo.setEnabled(LFiles.caption() != u"0");
}

}  // namespace qm
