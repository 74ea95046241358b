// The keyboard and the mouse of the Windows window, handed to the model's
// input rules (input/router.h) before the control sees them. Every control's
// window is subclassed; its key, character, press, focus, wheel and paste
// messages become the rules' own events, and files dropped on a label and
// the pointer moving over it reach the model.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <map>

#include "app/win32/binder.h"
#include "input/router.h"

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
    explicit InputRouter(BindContext& context);
    ~InputRouter();
    InputRouter(const InputRouter&) = delete;
    InputRouter& operator=(const InputRouter&) = delete;

    // Routes the input of `window` to the binder's control.
    void watch(HWND window, Binder& binder);
    // Keys that reach the main window itself, which holds the keyboard while
    // the model's focus is on a control that cannot take it. True when the
    // key was the model's.
    bool windowKey(UINT message, WPARAM wParam, LPARAM lParam);

private:
    // Shows the focus rectangle and the access keys' underlines, once the
    // user moves through the window by keyboard.
    void showKeyboardCues() const;
    // Lets no exception out into the system's code.
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self) noexcept;
    LRESULT route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Binder& binder);
    bool keyDown(HWND window, Control* control, WPARAM key, LPARAM lParam);
    bool character(wchar_t c, Binder& binder);
    void focusIn(Control& control);
    void paste(Binder& binder, EditControl& edit);
    void drop(HDROP drop, Control& label);

    BindContext& context_;
    input::Router rules_;
    std::map<HWND, Binder*> watched_;
};

}  // namespace qm::win32ui
