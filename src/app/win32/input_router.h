// The keyboard and the mouse, as the model's user actions.
//
// The model owns the focus: moving it out of an edit control runs that
// control's Validate, which may keep it there. So nothing may move the focus
// behind the model's back. Every control's window is subclassed, and before
// the control sees a message:
//   - Tab and Shift+Tab become the model's tab;
//   - a mouse press on a control the model has not focused first asks the
//     model to move the focus, and is swallowed when Validate refuses;
//   - an access key (Alt+I, Alt+O) becomes the model's access key;
//   - Enter on a push button presses it, as Space does;
//   - a typed character, Backspace, Enter or Esc in an edit field becomes a
//     typed key (the model's KeyPress decides what it inserts), and a paste
//     becomes the model's paste;
//   - a focus change that slipped through anyway is offered to the model and
//     undone when the model refuses it;
//   - files dropped on a label and the pointer moving over it reach the model.
// Caret movement, selection, Delete and cut are left to the edit field; the
// edit binders send their outcome to the model.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <map>

#include "app/win32/binder.h"

namespace qm {
class Control;
class EditControl;
}  // namespace qm

namespace qm::win32ui {

// Posted to the main window when a focus change has to be undone once the
// system is done with it.
constexpr UINT kRestoreFocusMessage = WM_APP + 1;

class InputRouter {
public:
    explicit InputRouter(BindContext& context) : context_(context) {}
    ~InputRouter();
    InputRouter(const InputRouter&) = delete;
    InputRouter& operator=(const InputRouter&) = delete;

    // Routes the input of `window` to the binder's control.
    void watch(HWND window, Binder& binder);
    // Keys that reach the main window itself, which holds the keyboard while
    // the model's focus is on a control that cannot take it. True when the
    // key was the model's.
    bool windowKey(UINT message, WPARAM wParam, LPARAM lParam);
    // Shows the focus rectangle and the access keys' underlines, once the
    // user moves through the window by keyboard.
    void showKeyboardCues() const;

private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Binder& binder);
    bool keyDown(WPARAM key, LPARAM lParam, Control& control);
    bool character(wchar_t c, Binder& binder);
    bool accessKey(wchar_t c);
    bool arrowInGroup(Control& option, WPARAM key);
    bool mousePress(Control& control);
    void focusIn(Control& control);
    void paste(Binder& binder, EditControl& edit);
    void drop(HDROP drop, Control& label);
    template <typename Action>
    void act(Action action);

    BindContext& context_;
    std::map<HWND, Binder*> watched_;
};

}  // namespace qm::win32ui
