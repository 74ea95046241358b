// The keyboard and the mouse, as the model's user actions.
//
// The model owns the focus: moving it out of an edit control runs that
// control's Validate, which may keep it there. So nothing may move the focus
// behind the model's back. Each front end watches every widget that takes
// input and, before the widget sees an event, hands it here translated
// (user_input.h, and the model's control the widget shows):
//   - a shortcut (Tab and Shift+Tab: the model's tab) is the model's
//     wherever the focus is;
//   - Enter on a push button presses it, as Space does;
//   - the arrow keys step through an option group, and mean nothing on push
//     buttons and check boxes (a toolkit would move its own focus with them);
//   - a typed character, Backspace, Enter or Esc in an edit control becomes
//     a typed key (the model's KeyPress decides what it inserts), and a
//     paste becomes the model's paste;
//   - an access key (Alt+I, Alt+O) becomes the model's access key;
//   - a mouse press on a control the model has not focused first asks the
//     model to move the focus, and is dropped when Validate refuses;
//   - a focus change that slipped through anyway is offered to the model and
//     undone when the model refuses it.
// Caret movement, selection, Delete and cut are left to the toolkit's edit
// field; edit_field.h sends their outcome to the model.
//
// keyDown, typed, accessKey, mousePress and wheel answer whether the event
// was the model's: then the widget must not see it.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "input/mirror.h"
#include "input/user_input.h"

namespace qm {
class Control;
class EditControl;
}  // namespace qm

namespace qm::input {

// The control as an edit control; nullptr for any other kind.
EditControl* asEdit(Control* control);

class Router {
public:
    // `showKeyboardCues` marks the focused control and the access keys, once
    // the user moves through the window by keyboard; it is called before the
    // move.
    Router(Mirror& mirror, std::function<void()> showKeyboardCues)
        : mirror_(mirror), showKeyboardCues_(std::move(showKeyboardCues)) {}

    // A key going down in `control`; nullptr for the window itself, which
    // holds the keyboard while the model's focus is on a control that cannot
    // take it (only the shortcuts mean anything there).
    bool keyDown(Control* control, const KeyDown& key);
    // What a key types in `control` (nullptr: the window) when its keyDown
    // was not the model's: Backspace, Enter and Esc as their control codes
    // (8, 13, 27), any other key as its text; `held`: the modifiers not
    // already applied to that text by the toolkit.
    bool typed(Control* control, std::u16string_view chars, Modifiers held);
    // Alt with a letter: false when no button of the window has it (it is
    // then the system's own, Alt+Space say).
    bool accessKey(char16_t key);
    // The toolkit's paste (its key, its menu) with the clipboard's text.
    void paste(EditControl& edit, std::u16string_view text);
    bool mousePress(Control& control, MouseButton button);
    // The wheel over `control`.
    bool wheel(const Control& control) const;
    // The toolkit moved its keyboard focus to `control` by itself: by a
    // user's move, or (`userMove` false) by a window coming to the front or
    // a list closing. True when the toolkit's focus must go back to where
    // the model has it, once the toolkit is done with its change.
    bool focusArrived(Control& control, bool userMove);

private:
    Mirror& mirror_;
    std::function<void()> showKeyboardCues_;
};

}  // namespace qm::input
