#include "input/router.h"

#include <algorithm>

#include "input/commands.h"
#include "window/form1.h"

namespace qm::input {

namespace {

// The keys that are the window's wherever the focus is, with exactly these
// modifiers held. A new shortcut is one more row.
struct Shortcut {
    Key key;
    Modifiers held;
    void (*action)(Form&);
    bool keyboardMove;  // the user moves through the window by keyboard
    bool repeats;       // a key held down acts again and again
};

constexpr Shortcut kShortcuts[] = {
    {Key::Tab, kNoModifier, [](Form& form) { form.tab(false); }, true, true},
    {Key::Tab, kShift, [](Form& form) { form.tab(true); }, true, true},
};

}  // namespace

EditControl* asEdit(Control* control) {
    if (!control) return nullptr;
    switch (control->kind()) {
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
            return static_cast<EditControl*>(control);
        default:
            return nullptr;
    }
}

bool Router::keyDown(Control* control, const KeyDown& key) {
    if (!mirror_.listening()) return false;
    for (const Shortcut& shortcut : kShortcuts) {
        if (shortcut.key != key.key || shortcut.held != key.held) continue;
        if (key.repeated && !shortcut.repeats) return true;
        if (shortcut.keyboardMove) showKeyboardCues_();
        mirror_.act([&] { shortcut.action(mirror_.form); });
        return true;
    }
    // The main window's commands' shortcuts (a dialog has none); a held key
    // acts only once (the undo asks first).
    if (auto* window = dynamic_cast<Form1*>(&mirror_.form)) {
        for (const Command& command : commands()) {
            if (command.key != key.key || command.held != key.held) continue;
            if (!key.repeated) mirror_.act([&] { command.action(*window); });
            return true;
        }
    }
    if (!control) return false;
    if (key.key == Key::Enter && control->kind() == ControlKind::PushButton) {
        // Enter presses whichever button has the focus, like Space. A held
        // key repeats while a run holds the window, and those repeats,
        // delivered after it, must not start the run again.
        if (!key.repeated && !(key.held & (kControl | kAlt | kMeta)))
            mirror_.act([&] { mirror_.form.click(*control); });
        return true;
    }
    if (!isArrow(key.key)) return false;
    // The arrow keys step through an option group and select the button
    // they reach, raising its Click, as in the classic toolkit's groups.
    if (control->kind() == ControlKind::OptionButton) {
        showKeyboardCues_();
        const bool backwards = key.key == Key::Left || key.key == Key::Up;
        mirror_.act([&] { mirror_.form.stepOption(*control, backwards); });
        return true;
    }
    return control->kind() == ControlKind::PushButton || control->kind() == ControlKind::CheckBox;
}

bool Router::typed(Control* control, std::u16string_view chars, Modifiers held) {
    if (!mirror_.listening()) return false;
    // Tab was the model's as its key went down; a toolkit that sends what a
    // key types apart from the key sends it still.
    if (chars == u"\t") return true;
    EditControl* edit = asEdit(control);
    if (!edit) return chars == u"\r" && control && control->kind() == ControlKind::PushButton;
    // Select all, copy, cut, undo, deleting a word (with the modifier held,
    // or as the control code the toolkit made of it): the field's own
    // commands, whose outcome edit_field.h sends to the model.
    if (chars.empty() || (held & (kControl | kMeta))) return false;
    if (std::any_of(chars.begin(), chars.end(), [](char16_t c) { return c < 32 && c != 8 && c != 13 && c != 27; }))
        return false;
    // Alt with a letter that is no access key types nothing.
    if (held & kAlt) return true;
    mirror_.act([&] { mirror_.form.type(*edit, chars); });
    return true;
}

bool Router::accessKey(char16_t key) {
    if (!mirror_.listening()) return false;
    if (key >= u'a' && key <= u'z') key = static_cast<char16_t>(key - u'a' + u'A');
    const auto& controls = mirror_.form.controls();
    const bool ours =
        std::any_of(controls.begin(), controls.end(), [key](const Control* c) { return c->accessKey() == key; });
    if (!ours) return false;
    showKeyboardCues_();
    mirror_.act([&] { mirror_.form.pressAccessKey(key); });
    return true;
}

void Router::paste(EditControl& edit, std::u16string_view text) {
    mirror_.act([&] { mirror_.form.paste(edit, text); });
}

bool Router::mousePress(Control& control, MouseButton button) {
    if (!mirror_.listening()) return false;
    // Only an edit field does anything with the secondary button (its menu),
    // and takes the focus with it.
    if (button == MouseButton::Secondary && !asEdit(&control)) return false;
    Form& form = mirror_.form;
    if (!control.canTakeFocus() || !control.enabled() || !form.enabled() || form.focused() == &control) return false;
    bool moved = false;
    mirror_.act([&] { moved = form.setFocus(control); });
    // Refused by Validate: the press (and the click it would start) is dropped.
    return !moved;
}

bool Router::wheel(const Control& control) const {
    // The wheel steps through the list only when the list has the focus.
    return mirror_.listening() && control.kind() == ControlKind::ComboBox && mirror_.form.focused() != &control;
}

bool Router::focusArrived(Control& control, bool userMove) {
    Form& form = mirror_.form;
    if (!mirror_.listening() || form.focused() == &control) return false;
    // A window coming to the front or a list closing hands the focus back
    // to where the toolkit last had it, which is no move of the user's.
    if (!userMove) return true;
    if (!form.enabled()) return false;
    if (!form.setFocus(control)) return true;
    mirror_.mirrorAll();
    return false;
}

}  // namespace qm::input
