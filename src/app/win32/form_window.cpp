#include "app/win32/form_window.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/win32/win32_text.h"
#include "window/form.h"

namespace qm::win32ui {

namespace {

// One class per form, named after it ("QuillmarshForm1"), so that other
// programs and the tests tell the main window from its dialogs.
std::wstring classNameOf(const WindowSpec& window) {
    std::wstring name = L"Quillmarsh";
    name += win32::wide(window.name);
    return name;
}

DWORD styleOf(const WindowSpec& window, HWND owner) {
    // A fixed single-line border: no sizing frame. No WS_CLIPCHILDREN: the
    // group box paints only its edge and caption, and relies on the window
    // painting the background inside it. A dialog is a pop-up of its owner.
    DWORD style = (owner ? WS_POPUP : WS_OVERLAPPED) | WS_CAPTION | WS_SYSMENU;
    if (window.minimizeButton) style |= WS_MINIMIZEBOX;
    if (window.maximizeButton) style |= WS_MAXIMIZEBOX;
    if (window.resizable) style |= WS_THICKFRAME;
    return style;
}

void registerClass(HINSTANCE instance, const wchar_t* className) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = FormWindow::windowProc;
    wc.hInstance = instance;
    // The program's icon is resource 1; a program without it (the tests)
    // gets the system's.
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    // A second window of the same program (the tests make many) finds the
    // class already there.
    RegisterClassExW(&wc);
}

COLORREF colorRefOf(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

FormWindow::FormWindow(Form& form, const WindowSpec& window, std::span<const ControlSpec> table, HWND owner,
                       UINT dpi)
    : context_{{form, [this] { mirrorAll(); }}}, form_(form), spec_(window), router_(context_),
      followsMonitor_(dpi == 0) {
    context_.layout = table;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring className = classNameOf(window);
    registerClass(instance, className.c_str());
    const std::wstring title = win32::wide(form.caption());
    // `this` goes with the window's first message (WM_NCCREATE), so the
    // window procedure knows its window from the start.
    CreateWindowExW(owner ? WS_EX_DLGMODALFRAME : 0, className.c_str(), title.c_str(), styleOf(window, owner),
                    CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner, nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("the window could not be made");
    context_.window = hwnd_;
    context_.dpi = dpi != 0 ? dpi : dpiOfWindow(hwnd_);
    font_ = std::make_unique<GuiFont>(context_.dpi);
    context_.font = font_->get();
    build();
    layout(context_.dpi);
    if (window.centred) centre(owner);
    form_.observe([this] { mirrorWindow(); });
    // The focus cues stay hidden until the user moves by keyboard, as in
    // the system's own dialogs.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    mirrorAll();
}

FormWindow::~FormWindow() {
    form_.observe(nullptr);
    for (const auto& binder : binders_) binder->control().observe(nullptr);
    context_.closing = true;
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void FormWindow::build() {
    for (const ControlSpec& row : context_.layout) {
        Control* control = form_.control(row.name);
        if (!control) throw std::logic_error("the layout table names a control the window model does not have");
        std::unique_ptr<Binder> binder = bindControl(context_, *control);
        if (!binder) continue;
        for (HWND input : binder->inputWindows()) router_.watch(input, *binder);
        control->observe([b = binder.get()] { b->mirror(); });
        binders_.push_back(std::move(binder));
    }
    // The frame lies under what it holds. A screen reader names an edit
    // field after the static text just above it in this order, so each
    // field's caption label goes there (the table makes the filter's label
    // after its box). The tab order is the model's and does not use this.
    for (const auto& binder : binders_) {
        if (binder->control().kind() == ControlKind::Frame)
            SetWindowPos(binder->hwnd(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (const Binder* label = captionLabelOf(*binder)) {
            HWND above = GetWindow(binder->hwnd(), GW_HWNDPREV);
            if (above != label->hwnd())
                SetWindowPos(label->hwnd(), above ? above : HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    addTooltips();
}

void FormWindow::addTooltips() {
    tooltips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!tooltips_) return;
    context_.tooltips = tooltips_;
    // A width of its own lets a tooltip break at "\n": a whole path above
    // the label's hint.
    SendMessageW(tooltips_, TTM_SETMAXTIPWIDTH, 0, 32767);
    for (const auto& binder : binders_) {
        const std::u16string& tip = binder->control().spec().tooltip;
        if (tip.empty()) continue;
        std::wstring text = win32::wide(tip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(binder->hwnd());
        tool.lpszText = text.data();  // copied by the tooltip control
        SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void FormWindow::layout(UINT dpi) {
    if (dpi != context_.dpi) {
        // The old font goes once the controls have the new one.
        std::unique_ptr<GuiFont> old = std::move(font_);
        context_.dpi = dpi;
        font_ = std::make_unique<GuiFont>(dpi);
        context_.font = font_->get();
    }
    const SIZE client{twipsToPixels(spec_.clientWidth, dpi), twipsToPixels(spec_.clientHeight, dpi)};
    // The frame is the system's, drawn at the density of the monitor the
    // window is on, which is the layout's unless a density was imposed.
    const UINT frameDpi = followsMonitor_ ? dpi : dpiOfWindow(hwnd_);
    const SIZE outer = windowSizeFor(client, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)), frameDpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    input::MirrorScope scope(context_);
    for (const auto& binder : binders_) binder->place();
    // A field overlaps the end of its caption label by up to a pixel; the
    // label, above it in the z-order, would paint over the field's edge.
    // The label ends where the field begins, which shows the same.
    for (const auto& binder : binders_) {
        const Binder* label = captionLabelOf(*binder);
        if (!label) continue;
        RECT field, caption;
        GetWindowRect(binder->hwnd(), &field);
        GetWindowRect(label->hwnd(), &caption);
        if (caption.left < field.left && caption.right > field.left)
            SetWindowPos(label->hwnd(), nullptr, 0, 0, field.left - caption.left, caption.bottom - caption.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (tooltips_) SendMessageW(tooltips_, WM_SETFONT, reinterpret_cast<WPARAM>(context_.font), FALSE);
    // The controls were given their new font without painting each time.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A dialog over its owner, kept on the owner's monitor; the main window on
// its monitor.
void FormWindow::centre(HWND owner) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT r;
    GetWindowRect(hwnd_, &r);
    const RECT& work = monitor.rcWork;
    RECT over = work;
    if (owner) GetWindowRect(owner, &over);
    const int width = r.right - r.left, height = r.bottom - r.top;
    int x = over.left + ((over.right - over.left) - width) / 2;
    int y = over.top + ((over.bottom - over.top) - height) / 2;
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND FormWindow::windowOf(const Control& control) const {
    const Binder* binder = binderOf(control);
    return binder ? binder->hwnd() : nullptr;
}

HWND FormWindow::focusWindowOf(const Control& control) const {
    const Binder* binder = binderOf(control);
    return binder ? binder->focusWindow() : nullptr;
}

Binder* FormWindow::binderOf(HWND window) const {
    for (const auto& binder : binders_) {
        if (binder->hwnd() == window) return binder.get();
    }
    return nullptr;
}

const Binder* FormWindow::captionLabelOf(const Binder& field) const {
    const ControlKind kind = field.control().kind();
    if (kind != ControlKind::TextBox && kind != ControlKind::ComboBox) return nullptr;
    const Control* label = form_.control(field.control().spec().labelledBy);
    return label && label->kind() == ControlKind::Label ? binderOf(*label) : nullptr;
}

Binder* FormWindow::binderOf(const Control& control) const {
    for (const auto& binder : binders_) {
        if (&binder->control() == &control) return binder.get();
    }
    return nullptr;
}

void FormWindow::mirrorAll() {
    if (context_.closing) return;
    input::MirrorScope scope(context_);
    for (const auto& binder : binders_) binder->mirror();
    mirrorWindow();
}

void FormWindow::mirrorWindow() {
    if (context_.closing) return;
    input::MirrorScope scope(context_);
    const std::wstring title = win32::wide(form_.caption());
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, shown.data(), static_cast<int>(shown.size()))));
    if (shown != title) SetWindowTextW(hwnd_, title.c_str());
    const bool enabled = form_.enabled() && !heldDisabled();
    if ((IsWindowEnabled(hwnd_) != FALSE) != enabled) EnableWindow(hwnd_, enabled);
    mirrorFocus();
}

void FormWindow::mirrorFocus() {
    // A disabled window holds no focus, and one in the background gets it
    // back when it is activated (WM_SETFOCUS below): taking it now would
    // pull the window in front of the one the user is in.
    if (context_.closing || !form_.enabled() || !IsWindowEnabled(hwnd_) || GetActiveWindow() != hwnd_) return;
    const Control* focused = form_.focused();
    HWND target = focused ? focusWindowOf(*focused) : nullptr;
    // A control the model keeps focused while it is disabled cannot hold
    // the focus; the window holds it, so that keys reach no other control.
    if (!target || !IsWindowEnabled(target) || !IsWindowVisible(target)) target = hwnd_;
    if (GetFocus() != target) SetFocus(target);
}

LRESULT CALLBACK FormWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        // An exception cannot pass through the system's code that called
        // here; the message gets the system's own handling instead.
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (lParam && context_.listening()) {
                if (Binder* binder = binderOf(reinterpret_cast<HWND>(lParam))) binder->notified(HIWORD(wParam));
            }
            return 0;
        case WM_CTLCOLORSTATIC: {
            const Binder* binder = binderOf(reinterpret_cast<HWND>(lParam));
            if (!binder || binder->control().spec().textColor == ControlSpec::kDefaultColor) break;
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, colorRefOf(binder->control().spec().textColor));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_SETFOCUS:
            // Activated: the focus goes back to the model's control.
            mirrorFocus();
            return 0;
        case kRestoreFocusMessage:
            mirrorAll();
            return 0;
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_SYSCHAR:
            if (router_.windowKey(message, wParam, lParam)) return 0;
            break;
        case WM_DPICHANGED: {
            if (!followsMonitor_) break;
            // The system's suggestion keeps the window where it was on the
            // new monitor; the size is the table's at the new density.
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            layout(LOWORD(wParam));
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            mirrorAll();
            return 0;
        }
        case WM_DESTROY:
            context_.closing = true;
            if (endsProgram_) PostQuitMessage(0);
            break;
        case WM_NCDESTROY: {
            HWND gone = hwnd_;
            hwnd_ = nullptr;
            return DefWindowProcW(gone, message, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace qm::win32ui
