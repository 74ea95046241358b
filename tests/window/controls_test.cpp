// The toolkit rules that the handlers rely on, checked through Form1.
#include <gtest/gtest.h>

#include "support/form_fixture.h"

namespace qm::test {
namespace {

class ControlsTest : public FormTest {};

TEST_F(ControlsTest, EveryCaptionWriteRaisesChangeEvenWithTheSameText) {
    int changes = 0;
    form->LDirOut.onChange = [&] { ++changes; };
    form->LDirOut.setCaption(u"/a");
    form->LDirOut.setCaption(u"/a");
    EXPECT_EQ(changes, 2);
}

TEST_F(ControlsTest, ChangeRunsBeforeTheSetterReturns) {
    dir.write("src/a.txt", "a");
    dir.write("src/b.txt", "b");
    form->LDir.setCaption(dir.u16("src"));
    EXPECT_EQ(form->LFiles.caption(), u"2");  // LDir_Change -> count -> LFiles_Change, all done
    EXPECT_EQ(form->TDivs.text(), u"2");
}

struct KeyCase {
    const char* name;
    std::u16string start;
    std::size_t selStart, selLength;
    char16_t typed;
    int replacement;  // -1: KeyPress leaves the key alone
    std::u16string expected;
    std::size_t caret;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class KeyPressTest : public ControlsTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyPressTest, KeyIsFilteredThenInsertedAtTheCaret) {
    const KeyCase& k = GetParam();
    EditControl& box = form->Combo1;
    box.onKeyPress = [&](std::int16_t& code) {
        if (k.replacement >= 0) code = static_cast<std::int16_t>(k.replacement);
    };
    box.onChange = nullptr;
    box.setText(k.start);
    box.setSelection(k.selStart, k.selLength);
    form->type(box, std::u16string(1, k.typed));
    EXPECT_EQ(box.text(), k.expected);
    EXPECT_EQ(box.selStart(), k.caret);
    EXPECT_EQ(box.selLength(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, KeyPressTest,
    ::testing::Values(KeyCase{"insertAtCaret", u"abcd", 2, 0, u'X', -1, u"abXcd", 3},
                      KeyCase{"replaceSelection", u"abcd", 1, 2, u'X', -1, u"aXd", 2},
                      KeyCase{"replacedKey", u"ab", 2, 0, u'q', u'*', u"ab*", 3},
                      KeyCase{"droppedKey", u"ab", 2, 0, u'q', 0, u"ab", 2},
                      KeyCase{"backspaceDeletesBeforeCaret", u"abcd", 2, 0, 8, -1, u"acd", 1},
                      KeyCase{"backspaceDeletesSelection", u"abcd", 0, 3, 8, -1, u"d", 0},
                      KeyCase{"backspaceAtStartDoesNothing", u"ab", 0, 0, 8, -1, u"ab", 0},
                      KeyCase{"backspaceReplacedByCharacter", u"", 0, 0, 8, u'*', u"*", 1},
                      KeyCase{"otherControlKeyInsertsNothing", u"ab", 1, 0, 13, -1, u"ab", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlsTest, MaximumLengthRefusesTypingButReplacingASelectionStillWorks) {
    form->TDivs.setText(u"123456");
    form->TDivs.setSelStart(6);
    form->type(form->TDivs, u"7");
    EXPECT_EQ(form->TDivs.text(), u"123456");
    form->TDivs.setSelection(0, 6);
    form->type(form->TDivs, u"9");
    EXPECT_EQ(form->TDivs.text(), u"9");
}

TEST_F(ControlsTest, PasteSkipsKeyPressAndIsCutToTheLengthLimit) {
    int keyPresses = 0;
    form->TDivs.onKeyPress = [&](std::int16_t&) { ++keyPresses; };
    form->TDivs.setText(u"");
    form->paste(form->TDivs, u"1E999xyz");
    EXPECT_EQ(keyPresses, 0);
    EXPECT_EQ(form->TDivs.text(), u"1E999x");
}

TEST_F(ControlsTest, ProgramWriteOrTypingClearsTheChosenItemButChoosingSetsIt) {
    int clicks = 0, changes = 0;
    form->Combo1.onClick = [&] { ++clicks; };
    form->Combo1.onChange = [&] { ++changes; };
    form->chooseItem(form->Combo1, 4);
    EXPECT_EQ(form->Combo1.text(), u"*.png");
    EXPECT_EQ(form->Combo1.listIndex(), 4);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(clicks, 1);
    form->type(form->Combo1, u"x");
    EXPECT_EQ(form->Combo1.listIndex(), -1);
    form->chooseItem(form->Combo1, 0);
    form->Combo1.setText(u"*.");
    EXPECT_EQ(form->Combo1.listIndex(), -1);
}

TEST_F(ControlsTest, ValidateCancelKeepsTheFocusAndSwallowsTheClick) {
    bool refuse = true;
    int validations = 0, runs = 0;
    form->TDivs.onValidate = [&](bool& cancel) {
        ++validations;
        cancel = refuse;
    };
    form->CmdDo.onClick = [&] { ++runs; };
    ASSERT_TRUE(form->setFocus(form->TDivs));
    EXPECT_FALSE(form->click(form->CmdDo));
    EXPECT_EQ(form->focused(), &form->TDivs);
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(form->pressAccessKey(u'i'));  // Alt+I validates too
    refuse = false;
    EXPECT_TRUE(form->click(form->CmdDo));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(validations, 3);
    EXPECT_EQ(form->focused(), &form->CmdDo);
}

TEST_F(ControlsTest, OptionGroupsArePerContainer) {
    int opt1Clicks = 0;
    form->Opt1.onClick = [&] { ++opt1Clicks; };
    form->click(form->Option1);
    EXPECT_TRUE(form->Option1.value());
    EXPECT_FALSE(form->Option2.value());
    EXPECT_TRUE(form->Opt2.value());  // the other group is untouched
    form->click(form->Opt1);
    form->click(form->Opt1);  // already selected: no second Click
    EXPECT_TRUE(form->Opt1.value());
    EXPECT_FALSE(form->Opt2.value());
    EXPECT_EQ(opt1Clicks, 1);
}

TEST_F(ControlsTest, DisabledControlsAndADisabledWindowTakeNoInput) {
    EXPECT_FALSE(form->type(form->TParts, u"1"));
    EXPECT_EQ(form->TParts.text(), u"50");
    int runs = 0;
    form->CmdDo.onClick = [&] { ++runs; };
    form->setEnabled(false);
    EXPECT_FALSE(form->click(form->CmdDo));
    EXPECT_FALSE(form->tab());
    form->setEnabled(true);
    form->CmdDo.setEnabled(false);
    EXPECT_FALSE(form->click(form->CmdDo));
    EXPECT_EQ(runs, 0);
}

TEST_F(ControlsTest, TabSkipsLabelsDisabledFieldsAndUnselectedOptions) {
    std::vector<std::u16string> stops;
    for (int i = 0; i < 9; ++i) {
        form->tab();
        stops.push_back(form->focused()->name());
    }
    EXPECT_EQ(stops, (std::vector<std::u16string>{u"CmdOut", u"Combo1", u"CmdDo", u"Opt2", u"TDivs", u"ChBackUp",
                                                  u"Option2", u"CmdIn", u"CmdOut"}));
    form->tab(true);
    EXPECT_EQ(form->focused(), &form->CmdIn);
}

TEST_F(ControlsTest, AccessKeysPressTheirButtons) {
    std::vector<std::u16string> pressed;
    form->CmdIn.onClick = [&] { pressed.push_back(u"in"); };
    form->CmdOut.onClick = [&] { pressed.push_back(u"out"); };
    form->CmdDo.onClick = [&] { pressed.push_back(u"do"); };
    EXPECT_TRUE(form->pressAccessKey(u'I'));
    EXPECT_TRUE(form->pressAccessKey(u'o'));
    EXPECT_FALSE(form->pressAccessKey(u'D'));
    EXPECT_EQ(pressed, (std::vector<std::u16string>{u"in", u"out"}));
}

TEST_F(ControlsTest, ObserversHearEveryPropertyChange) {
    int label = 0, box = 0, window = 0;
    form->LFiles.observe([&] { ++label; });
    form->TDivs.observe([&] { ++box; });
    form->observe([&] { ++window; });
    form->LFiles.setCaption(u"3");  // also normalises TDivs
    form->setCaption(u"t");
    form->setEnabled(false);
    EXPECT_EQ(label, 1);
    EXPECT_GE(box, 1);
    EXPECT_EQ(window, 2);
}

}  // namespace
}  // namespace qm::test
