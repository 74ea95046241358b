// The input rules both windows share, driven with toolkit-neutral events
// over the window model: what is the model's, what it does, and what is
// left to the toolkit's widget.
#include "input/router.h"

#include <gtest/gtest.h>

#include "input/edit_field.h"
#include "support/fake_platform.h"
#include "window/form1.h"

namespace qm::test {
namespace {

using input::Key;
using input::MouseButton;
constexpr input::Modifiers kShift = input::kShift, kCtrl = input::kControl, kAlt = input::kAlt;

// A fresh window model under the rules, for each case.
struct Rules {
    FakePlatform platform;
    Form1 form{platform};
    int cues = 0;
    input::Mirror mirror{form, [] {}};
    input::Router router{mirror, [this] { ++cues; }};

    Control* named(const char16_t* name) const { return name ? form.control(name) : nullptr; }
    std::u16string focused() const { return form.focused()->name(); }
};

TEST(InputRules, KeysGoingDown) {
    struct Row {
        const char16_t* at;  // the focused control the key goes down in; nullptr: the window
        input::KeyDown key;
        bool taken;
        const char16_t* focusAfter;
        int cues;
        std::size_t dialogs;  // 导入目录 opens the folder dialog when pressed
    } rows[] = {
        {u"CmdIn", {Key::Tab}, true, u"CmdOut", 1, 0},
        {u"CmdOut", {Key::Tab, kShift}, true, u"CmdIn", 1, 0},
        {nullptr, {Key::Tab}, true, u"CmdOut", 1, 0},
        {u"CmdIn", {Key::Tab, kCtrl}, false, u"CmdIn", 0, 0},
        {u"CmdIn", {Key::Enter}, true, u"CmdIn", 0, 1},
        {u"CmdIn", {Key::Enter, 0, true}, true, u"CmdIn", 0, 0},  // a held key's repeat
        {u"CmdIn", {Key::Enter, kCtrl}, true, u"CmdIn", 0, 0},
        {u"TDivs", {Key::Enter}, false, u"TDivs", 0, 0},  // typed, through KeyPress
        {u"Option2", {Key::Up}, true, u"Option1", 1, 0},
        {u"CmdIn", {Key::Down}, true, u"CmdIn", 0, 0},  // the toolkit would move its focus
        {u"TDivs", {Key::Left}, false, u"TDivs", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        Rules r;
        if (Control* at = r.named(row.at)) r.form.setFocus(*at);
        EXPECT_EQ(r.router.keyDown(r.named(row.at), row.key), row.taken);
        EXPECT_EQ(r.focused(), row.focusAfter);
        EXPECT_EQ(r.cues, row.cues);
        EXPECT_EQ(r.platform.dialogs.size(), row.dialogs);
    }
}

TEST(InputRules, WhatKeysType) {
    struct Row {
        const char16_t* at;
        std::u16string chars;
        input::Modifiers held;
        bool taken;
        std::u16string shares;  // 分发份数 (TDivs), "5" before
    } rows[] = {
        {u"TDivs", u"7", 0, true, u"57"},     {u"TDivs", u"\b", 0, true, u""},
        {u"TDivs", u"a", kCtrl, false, u"5"},  // the field's own command
        {u"TDivs", u"\x01", 0, false, u"5"},   // the same, as a control code
        {u"TDivs", u"7", kAlt, true, u"5"},   // Alt with no access key types nothing
        {u"TDivs", u"\t", 0, true, u"5"},     // taken as its key went down
        {u"CmdIn", u"\r", 0, true, u"5"},     {u"CmdIn", u"a", 0, false, u"5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        Rules r;
        r.form.TDivs.setText(u"5");
        EXPECT_EQ(r.router.typed(r.named(row.at), row.chars, row.held), row.taken);
        EXPECT_EQ(r.form.TDivs.text(), row.shares);
    }
}

TEST(InputRules, PressesAskForTheFocusFirst) {
    struct Row {
        bool refuse;  // Validate of 分发份数 (TDivs, focused) keeps the focus
        const char16_t* at;
        MouseButton button;
        bool dropped;
        const char16_t* focusAfter;
    } rows[] = {
        {false, u"CmdIn", MouseButton::Primary, false, u"CmdIn"},
        {true, u"CmdIn", MouseButton::Primary, true, u"TDivs"},
        {true, u"CmdIn", MouseButton::Other, true, u"TDivs"},
        {true, u"CmdIn", MouseButton::Secondary, false, u"TDivs"},  // only a field's menu takes the focus
        {false, u"TParts", MouseButton::Secondary, false, u"TDivs"},  // disabled
        {true, u"Label1", MouseButton::Primary, false, u"TDivs"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        Rules r;
        r.form.setFocus(r.form.TDivs);
        r.form.TDivs.onValidate = [&](bool& cancel) { cancel = row.refuse; };
        EXPECT_EQ(r.router.mousePress(*r.named(row.at), row.button), row.dropped);
        EXPECT_EQ(r.focused(), row.focusAfter);
    }
    Rules r;
    EXPECT_FALSE(r.router.mousePress(r.form.TDivs, MouseButton::Secondary));
    EXPECT_EQ(r.focused(), u"TDivs");
}

TEST(InputRules, FocusTheToolkitMovedIsOfferedToTheModel) {
    Rules r;
    bool refuse = true;
    r.form.setFocus(r.form.TDivs);
    r.form.TDivs.onValidate = [&](bool& cancel) { cancel = refuse; };
    EXPECT_TRUE(r.router.focusArrived(r.form.CmdIn, true));  // refused: put back
    EXPECT_FALSE(r.router.focusArrived(r.form.TDivs, true));
    refuse = false;
    EXPECT_TRUE(r.router.focusArrived(r.form.CmdIn, false));  // no move of the user's
    EXPECT_EQ(r.focused(), u"TDivs");
    EXPECT_FALSE(r.router.focusArrived(r.form.CmdIn, true));
    EXPECT_EQ(r.focused(), u"CmdIn");
}

TEST(InputRules, AccessKeysWheelAndPaste) {
    Rules r;
    EXPECT_FALSE(r.router.accessKey(u'z'));  // the system's own
    EXPECT_TRUE(r.router.accessKey(u'o'));
    EXPECT_EQ(r.platform.dialogs.size(), 1u);
    EXPECT_EQ(r.cues, 1);
    EXPECT_TRUE(r.router.wheel(r.form.Combo1));  // the list steps only while it has the focus
    r.form.setFocus(r.form.Combo1);
    EXPECT_FALSE(r.router.wheel(r.form.Combo1));
    r.form.TDivs.setSelection(0, 1);
    r.router.paste(r.form.TDivs, u"1234567");
    EXPECT_EQ(r.form.TDivs.text(), u"123456");  // the length limit holds
}

TEST(InputRules, NothingIsTheModelsWhileTheWidgetsEchoIt) {
    Rules r;
    input::MirrorScope echo(r.mirror);
    EXPECT_FALSE(r.router.keyDown(nullptr, {Key::Tab}));
    EXPECT_FALSE(r.router.typed(&r.form.TDivs, u"7", 0));
    EXPECT_FALSE(r.router.mousePress(r.form.TDivs, MouseButton::Primary));
    r.router.paste(r.form.TDivs, u"7");
    EXPECT_EQ(r.focused(), u"CmdIn");
    EXPECT_EQ(r.form.TDivs.text(), u"5");
}

// A field that counts what is copied into it.
struct FakeField : input::EditField {
    std::u16string shown;
    input::Selection selected;
    int selects = 0;
    std::u16string text() const override { return shown; }
    input::Selection selection() const override { return selected; }
    std::size_t caret() const override { return selected.start + selected.length; }
    void setText(const std::u16string& text) override { shown = text; }
    void select(input::Selection wanted) override { selected = wanted, ++selects; }
};

TEST(InputRules, EditFieldsAndTheModelAreKeptAlike) {
    Rules r;
    FakeField field;
    TextBox& box = r.form.TDivs;
    box.setText(u"123");
    input::mirrorEdit(field, box);
    input::mirrorEdit(field, box);
    EXPECT_EQ(field.shown, u"123");
    EXPECT_EQ(field.selected, (input::Selection{3, 0}));
    EXPECT_EQ(field.selects, 1);  // a matching selection keeps its anchor

    field.selected = {1, 2};
    input::sendSelection(r.mirror, field, box);
    EXPECT_EQ(box.selStart() * 10 + box.selLength(), 12u);
    field.shown = u"12";  // half way through a change of its own
    field.selected = {0, 0};
    input::sendSelection(r.mirror, field, box);
    EXPECT_EQ(box.selStart(), 1u);
    input::sendEdit(r.mirror, field, box);  // Delete, cut: no KeyPress
    EXPECT_EQ(box.text(), u"12");
    EXPECT_EQ(box.selStart(), 0u);
}

}  // namespace
}  // namespace qm::test
