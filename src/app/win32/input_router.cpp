#include "app/win32/input_router.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/win32_text.h"
#include "window/form1.h"

namespace qm::win32ui {

namespace {

bool held(int key) { return GetKeyState(key) < 0; }

// The keys the rules name, as the system names them.
constexpr std::pair<WPARAM, input::Key> kNamedKeys[] = {
    {VK_TAB, input::Key::Tab},       {VK_RETURN, input::Key::Enter}, {VK_ESCAPE, input::Key::Escape},
    {VK_BACK, input::Key::Backspace}, {VK_LEFT, input::Key::Left},   {VK_UP, input::Key::Up},
    {VK_RIGHT, input::Key::Right},   {VK_DOWN, input::Key::Down},
};

input::Key keyOf(WPARAM key) {
    // The virtual keys of digits and letters are their characters.
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
        return input::characterKey(static_cast<char16_t>(key));
    for (const auto& [named, as] : kNamedKeys) {
        if (named == key) return as;
    }
    return input::Key::Other;
}

input::KeyDown keyDownOf(WPARAM key, LPARAM lParam) {
    input::Modifiers mods = input::kNoModifier;
    if (held(VK_SHIFT)) mods |= input::kShift;
    if (held(VK_CONTROL)) mods |= input::kControl;
    if (held(VK_MENU)) mods |= input::kAlt;
    // Bit 30: the key was already down, and this is its repeat.
    return {keyOf(key), mods, (lParam & (1 << 30)) != 0};
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

InputRouter::InputRouter(BindContext& context) : context_(context), rules_(context, [this] { showKeyboardCues(); }) {}

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
                                           DWORD_PTR self) noexcept {
    auto* router = reinterpret_cast<InputRouter*>(self);
    const auto it = router->watched_.find(window);
    if (it == router->watched_.end()) return DefSubclassProc(window, message, wParam, lParam);
    try {
        return router->route(window, message, wParam, lParam, *it->second);
    } catch (...) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

LRESULT InputRouter::route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Binder& binder) {
    Control& control = binder.control();
    if (context_.listening()) {
        switch (message) {
            case WM_KEYDOWN:
                if (keyDown(window, &control, wParam, lParam)) return 0;
                break;
            case WM_CHAR:
                if (character(static_cast<wchar_t>(wParam), binder)) return 0;
                break;
            case WM_SYSKEYDOWN:
                if (wParam == VK_MENU) showKeyboardCues();
                break;
            case WM_SYSCHAR:
                if (rules_.accessKey(static_cast<char16_t>(wParam))) return 0;
                break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (rules_.mousePress(control, input::MouseButton::Primary)) return 0;
                break;
            case WM_RBUTTONDOWN:
                if (rules_.mousePress(control, input::MouseButton::Secondary)) return 0;
                break;
            case WM_SETFOCUS:
                focusIn(control);
                break;
            case WM_MOUSEWHEEL:
                if (rules_.wheel(control)) return 0;
                break;
            case WM_PASTE:
                // Ctrl+V, Shift+Insert and the field's menu: the model's
                // paste, which holds the length limit.
                if (EditControl* edit = input::asEdit(&control)) {
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
                    context_.act([&] { context_.form.mouseMove(static_cast<Label&>(control)); });
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

bool InputRouter::windowKey(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!context_.listening()) return false;
    switch (message) {
        case WM_KEYDOWN:
            return keyDown(context_.window, nullptr, wParam, lParam);
        case WM_CHAR:
            return rules_.typed(nullptr, std::u16string(1, static_cast<char16_t>(wParam)), input::kNoModifier);
        case WM_SYSCHAR:
            return rules_.accessKey(static_cast<char16_t>(wParam));
        default:
            return false;
    }
}

void InputRouter::showKeyboardCues() const {
    SendMessageW(context_.window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool InputRouter::keyDown(HWND window, Control* control, WPARAM key, LPARAM lParam) {
    if (key == VK_ESCAPE && context_.escape) {
        // A held key acts once: the dialog is gone after the first.
        if ((lParam & (1 << 30)) == 0) context_.act(context_.escape);
    } else if (!rules_.keyDown(control, keyDownOf(key, lParam))) {
        return false;
    }
    // The key was the model's, so what it types is nobody's. The message
    // loop queued that character as it translated the key, before the key
    // came here: it is taken out again.
    MSG typed;
    PeekMessageW(&typed, window, WM_CHAR, WM_CHAR, PM_REMOVE);
    return true;
}

bool InputRouter::character(wchar_t c, Binder& binder) {
    Control& control = binder.control();
    EditControl* edit = input::asEdit(&control);
    if (edit && c == 0x16) {  // Ctrl+V
        paste(binder, *edit);
        return true;
    }
    // The field may have moved its caret since the model last heard of it.
    if (edit) binder.sendSelection();
    // The character comes with its modifiers already applied (Ctrl with a
    // letter is a control code; AltGr, which holds Ctrl and Alt, types).
    return rules_.typed(&control, std::u16string(1, static_cast<char16_t>(c)), input::kNoModifier);
}

void InputRouter::focusIn(Control& control) {
    // The system is still in the middle of its focus change; the model's
    // focus is put back once that is over.
    if (rules_.focusArrived(control, true)) PostMessageW(context_.window, kRestoreFocusMessage, 0, 0);
}

void InputRouter::paste(Binder& binder, EditControl& edit) {
    binder.sendSelection();
    rules_.paste(edit, clipboardLine(context_.window));
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
    context_.act([&] { context_.form.drop(static_cast<Label&>(label), paths); });
}

}  // namespace qm::win32ui
