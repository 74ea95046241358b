#include <gtest/gtest.h>

#include <cmath>

#include "text/number.h"
#include "support/form_fixture.h"

namespace qm::test {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
    const std::vector<std::pair<std::u16string, double>> cases{
        {u"", 0},      {u"abc", 0},    {u"007", 7},   {u"-12", -12}, {u"+3", 3},       {u"1 2", 12},
        {u"\t4\n", 4}, {u"2.5x", 2.5}, {u".5", 0.5},  {u"1E3", 1000}, {u"1e", 1},      {u"3D2", 300},
        {u"12ab3", 12}, {u"5.", 5},    {u"-", 0},     {u"1E-2", 0.01}, {u"１２", 0}};
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(leadingNumber(text), value) << utf8(text);
    EXPECT_TRUE(std::isinf(leadingNumber(u"1E999")));
    EXPECT_EQ(leadingNumber(u"1E-999"), 0.0);
}

class CountsTest : public FormTest {
protected:
    void files(int n) { form->LFiles.setCaption(text::decimal(static_cast<std::uint64_t>(n))); }
    // Types into the field, pasting what keys cannot bring, and leaves it.
    std::u16string leave(TextBox& field, const std::u16string& pasted) {
        form->setFocus(field);
        field.setSelection(0, 6);
        form->paste(field, pasted);
        form->setFocus(form->CmdOut);
        return field.text();
    }
};

struct NormCase {
    bool fixed;
    int files;
    std::u16string entered;
    std::u16string shown;
};

void PrintTo(const NormCase& c, std::ostream* os) {
    *os << (c.fixed ? "TParts" : "TDivs") << " files=" << c.files << " entered=" << utf8(c.entered);
}

class NormalisationTest : public CountsTest, public ::testing::WithParamInterface<NormCase> {};

TEST_P(NormalisationTest, LeavingTheFieldNormalisesIt) {
    const NormCase& c = GetParam();
    if (c.fixed) form->click(form->Opt1);
    files(c.files);
    EXPECT_EQ(leave(c.fixed ? form->TParts : form->TDivs, c.entered), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, NormalisationTest,
    ::testing::Values(NormCase{false, 100, u"0", u"1"}, NormCase{true, 100, u"", u"50"}, NormCase{true, 30, u"", u"30"},
                      NormCase{false, 100, u"007", u"7"}, NormCase{false, 100, u"-12", u"12"},
                      NormCase{false, 100, u"abc", u"1"}, NormCase{true, 20, u"abc", u"20"},
                      NormCase{false, 8, u"12", u"8"}, NormCase{false, 8, u"8", u"8"},
                      NormCase{false, 0, u"3", u"0"},
                      // Fractions become whole numbers: nearest, halves away from zero, 1 at the least.
                      NormCase{false, 100, u"2.5", u"3"}, NormCase{false, 100, u"2.4", u"2"},
                      NormCase{false, 100, u"0.4", u"1"}, NormCase{true, 100, u"-0.5", u"1"},
                      NormCase{false, 100, u"1E1", u"10"}, NormCase{false, 100, u"1E300", u"100"},
                      NormCase{false, 100, u"1E999", u"100"}, NormCase{true, 100, u"-1E999", u"100"},
                      NormCase{false, 3, u"2.6", u"3"}));

TEST_F(CountsTest, KeysOtherThanDigitsAndBackspaceBeep) {
    form->TDivs.setText(u"");
    form->type(form->TDivs, u"1a -.2\b3");
    EXPECT_EQ(form->TDivs.text(), u"13");
    EXPECT_EQ(platform.beeps, 4);
}

TEST_F(CountsTest, ChoosingAModeRewritesItsFieldAndSelectsIt) {
    files(30);
    form->click(form->Opt1);
    EXPECT_EQ(form->TParts.text(), u"30");
    EXPECT_TRUE(form->TParts.enabled());
    EXPECT_FALSE(form->TDivs.enabled());
    EXPECT_EQ(form->focused(), &form->TParts);
    EXPECT_EQ(form->TParts.selStart(), 0u);
    EXPECT_EQ(form->TParts.selLength(), 2u);
    form->type(form->TParts, u"7");
    form->click(form->Opt2);
    EXPECT_EQ(form->TParts.text(), u"7");  // kept while disabled
    EXPECT_EQ(form->TDivs.text(), u"5");
    EXPECT_EQ(form->focused(), &form->TDivs);
    files(3);
    form->click(form->Opt1);
    EXPECT_EQ(form->TParts.text(), u"3");
}

TEST_F(CountsTest, ACountChangeNormalisesOnlyTheFieldOfTheModeInForce) {
    form->click(form->Opt1);
    form->TDivs.setText(u"77");
    files(0);
    EXPECT_EQ(form->TParts.text(), u"0");
    EXPECT_FALSE(form->CmdDo.enabled());
    files(37);  // "0" -> fallback "50" -> cut to 37
    EXPECT_EQ(form->TParts.text(), u"37");
    EXPECT_TRUE(form->CmdDo.enabled());
    EXPECT_EQ(form->TDivs.text(), u"77");
    form->click(form->Opt2);
    files(0);
    files(37);
    EXPECT_EQ(form->TDivs.text(), u"1");
}

TEST_F(CountsTest, WritingTheSameCountAgainStillRunsTheCountHandling) {
    files(0);
    form->CmdDo.setEnabled(true);
    files(0);
    EXPECT_FALSE(form->CmdDo.enabled());
}

}  // namespace
}  // namespace qm::test
