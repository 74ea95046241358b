#include "app/win32/input_router.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/win32_text.h"
#include "window/form1.h"

namespace qm::win32ui {

namespace {

EditControl* asEdit(Control& control) {
    switch (control.kind()) {
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
            return static_cast<EditControl*>(&control);
        default:
            return nullptr;
    }
}

bool held(int key) { return GetKeyState(key) < 0; }

bool isArrow(WPARAM key) { return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN; }

char16_t upper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<char16_t>(c - L'a' + L'A') : static_cast<char16_t>(c);
}

// The clipboard's text up to its first line break, as a one-line edit field
// pastes it; empty when the clipboard holds no text.
std::u16string clipboardLine(HWND owner) {
    std::u16string text;
    if (!OpenClipboard(owner)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = win32::fromWide(chars);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    text.resize(std::min(text.size(), text.find_first_of(u"\r\n")));
    return text;
}

}  // namespace

template <typename Action>
void InputRouter::act(Action action) {
    action();
    context_.mirrorAll();
}

InputRouter::~InputRouter() {
    for (const auto& [window, binder] : watched_) {
        if (IsWindow(window)) RemoveWindowSubclass(window, subclassProc, 0);
    }
}

void InputRouter::watch(HWND window, Binder& binder) {
    if (!window) return;
    watched_[window] = &binder;
    SetWindowSubclass(window, subclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK InputRouter::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR self) {
    auto* router = reinterpret_cast<InputRouter*>(self);
    const auto it = router->watched_.find(window);
    if (it == router->watched_.end()) return DefSubclassProc(window, message, wParam, lParam);
    return router->route(window, message, wParam, lParam, *it->second);
}

LRESULT InputRouter::route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Binder& binder) {
    Control& control = binder.control();
    if (!context_.mirroring && !context_.closing) {
        switch (message) {
            case WM_KEYDOWN:
                if (keyDown(wParam, lParam, control)) return 0;
                break;
            case WM_CHAR:
                if (character(static_cast<wchar_t>(wParam), binder)) return 0;
                break;
            case WM_SYSKEYDOWN:
                if (wParam == VK_MENU) showKeyboardCues();
                break;
            case WM_SYSCHAR:
                if (accessKey(static_cast<wchar_t>(wParam))) return 0;
                break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (mousePress(control)) return 0;
                break;
            case WM_RBUTTONDOWN:
                // Only an edit field takes the focus with its menu.
                if (asEdit(control) && mousePress(control)) return 0;
                break;
            case WM_SETFOCUS:
                focusIn(control);
                break;
            case WM_MOUSEWHEEL:
                // The wheel steps through the list only when the list has the focus.
                if (control.kind() == ControlKind::ComboBox && context_.form.focused() != &control) return 0;
                break;
            case WM_PASTE:
                // Ctrl+V, Shift+Insert and the field's menu: the model's
                // paste, which holds the length limit.
                if (EditControl* edit = asEdit(control)) {
                    paste(binder, *edit);
                    return 0;
                }
                break;
            case WM_DROPFILES:
                drop(reinterpret_cast<HDROP>(wParam), control);
                return 0;
            case WM_SETCURSOR:
                // The pointer moving over a label is its MouseMove, whose
                // handler may ask for another pointer; otherwise the arrow.
                if (control.kind() == ControlKind::Label && LOWORD(lParam) == HTCLIENT &&
                    HIWORD(lParam) == WM_MOUSEMOVE) {
                    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
                    act([&] { context_.form.mouseMove(static_cast<Label&>(control)); });
                    return TRUE;
                }
                break;
            default:
                break;
        }
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            binder.sendSelection();
            break;
        case WM_MOUSEMOVE:
            if (wParam & MK_LBUTTON) binder.sendSelection();
            break;
        default:
            break;
    }
    return result;
}

bool InputRouter::windowKey(UINT message, WPARAM wParam, LPARAM) {
    if (context_.mirroring || context_.closing) return false;
    switch (message) {
        case WM_KEYDOWN:
            if (wParam != VK_TAB || held(VK_CONTROL) || held(VK_MENU)) return false;
            showKeyboardCues();
            act([&] { context_.form.tab(held(VK_SHIFT)); });
            return true;
        case WM_CHAR:
            return wParam == L'\t';
        case WM_SYSCHAR:
            return accessKey(static_cast<wchar_t>(wParam));
        default:
            return false;
    }
}

void InputRouter::showKeyboardCues() const {
    SendMessageW(context_.window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool InputRouter::keyDown(WPARAM key, LPARAM lParam, Control& control) {
    if (key == VK_TAB && !held(VK_CONTROL) && !held(VK_MENU)) {
        showKeyboardCues();
        act([&] { context_.form.tab(held(VK_SHIFT)); });
        return true;
    }
    if (key == VK_RETURN && control.kind() == ControlKind::PushButton) {
        // Enter presses whichever button has the focus, like Space. A held
        // key repeats while a run holds the window, and those repeats,
        // delivered after it, must not start the run again.
        const bool repeated = (lParam & (1 << 30)) != 0;
        if (!repeated && !held(VK_CONTROL) && !held(VK_MENU)) act([&] { context_.form.click(control); });
        return true;
    }
    if (!isArrow(key)) return false;
    if (control.kind() == ControlKind::OptionButton) {
        showKeyboardCues();
        return arrowInGroup(control, key);
    }
    return false;
}

bool InputRouter::character(wchar_t c, Binder& binder) {
    // Tab was the model's already, as its key went down.
    if (c == L'\t') return true;
    Control& control = binder.control();
    EditControl* edit = asEdit(control);
    if (!edit) return c == L'\r' && control.kind() == ControlKind::PushButton;
    if (c == 0x16) {  // Ctrl+V
        paste(binder, *edit);
        return true;
    }
    // Select all, copy, cut, undo: the field's own commands, whose outcome
    // the edit binder sends to the model. (Ctrl+Backspace, 127, is typed:
    // the field would insert it as a character.)
    if (c < 32 && c != 8 && c != L'\r' && c != 0x1b) return false;
    binder.sendSelection();
    act([&] { context_.form.type(*edit, std::u16string(1, static_cast<char16_t>(c))); });
    return true;
}

bool InputRouter::accessKey(wchar_t c) {
    const char16_t key = upper(c);
    for (Control* control : context_.form.controls()) {
        if (control->kind() != ControlKind::PushButton || static_cast<PushButton*>(control)->accessKey() != key)
            continue;
        showKeyboardCues();
        act([&] { context_.form.pressAccessKey(key); });
        return true;
    }
    return false;  // no button of the window: the system's own (Alt+Space, the beep)
}

// The arrow keys step through an option group and select the button they
// reach, raising its Click, as in the classic toolkit's option groups.
bool InputRouter::arrowInGroup(Control& option, WPARAM key) {
    const bool backwards = key == VK_LEFT || key == VK_UP;
    act([&] { context_.form.stepOption(option, backwards); });
    return true;
}

bool InputRouter::mousePress(Control& control) {
    Form1& form = context_.form;
    if (!control.canTakeFocus() || !control.enabled() || !form.enabled() || form.focused() == &control) return false;
    bool moved = false;
    act([&] { moved = form.setFocus(control); });
    // Refused by Validate: the press (and the click it would start) is swallowed.
    return !moved;
}

void InputRouter::focusIn(Control& control) {
    Form1& form = context_.form;
    if (!form.enabled() || form.focused() == &control) return;
    if (form.setFocus(control)) {
        context_.mirrorAll();
        return;
    }
    // The system is still in the middle of its focus change; the model's
    // focus is put back once that is over.
    PostMessageW(context_.window, kRestoreFocusMessage, 0, 0);
}

void InputRouter::paste(Binder& binder, EditControl& edit) {
    binder.sendSelection();
    const std::u16string text = clipboardLine(context_.window);
    act([&] { context_.form.paste(edit, text); });
}

void InputRouter::drop(HDROP dropped, Control& label) {
    // The paths in the order the drop lists them.
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(dropped, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(dropped, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(dropped, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(win32::fromWide(path));
    }
    DragFinish(dropped);
    if (label.kind() != ControlKind::Label) return;
    act([&] { context_.form.drop(static_cast<Label&>(label), paths); });
}

}  // namespace qm::win32ui
