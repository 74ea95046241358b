#include "app/win32/main_window.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

#include "input/commands.h"
#include "platform/win32/win32_text.h"
#include "window/form1.h"

namespace qm::win32ui {

namespace {

constexpr wchar_t kClassName[] = L"QuillmarshForm1";

DWORD styleOf(const WindowSpec& window) {
    // A fixed single-line border: no sizing frame. No WS_CLIPCHILDREN: the
    // group box paints only its edge and caption, and relies on the window
    // painting the background inside it.
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    if (window.minimizeButton) style |= WS_MINIMIZEBOX;
    if (window.maximizeButton) style |= WS_MAXIMIZEBOX;
    if (window.resizable) style |= WS_THICKFRAME;
    return style;
}

void registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindow::windowProc;
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
    wc.lpszClassName = kClassName;
    // A second window of the same program (the tests make many) finds the
    // class already there.
    RegisterClassExW(&wc);
}

COLORREF colorRefOf(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

MainWindow::MainWindow(Form1& form, UINT dpi)
    : form_(form), context_{{form, [this] { mirrorAll(); }}}, router_(context_),
      followsMonitor_(dpi == 0) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClass(instance);
    const WindowSpec& window = formSpec();
    const std::wstring title = win32::wide(form.caption());
    // `this` goes with the window's first message (WM_NCCREATE), so the
    // window procedure knows its window from the start.
    CreateWindowExW(0, kClassName, title.c_str(), styleOf(window), CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr,
                    nullptr, instance, this);
    if (!hwnd_) throw std::runtime_error("the main window could not be made");
    context_.window = hwnd_;
    context_.dpi = dpi != 0 ? dpi : dpiOfWindow(hwnd_);
    font_ = std::make_unique<GuiFont>(context_.dpi);
    context_.font = font_->get();
    build();
    layout(context_.dpi);
    if (window.centred) centre();
    form_.observe([this] { mirrorWindow(); });
    // The window's commands, as their shortcuts take them, in its own menu.
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const input::Command& command : input::commands()) {
        const std::wstring item = win32::wide(std::u16string(command.text) + u"\t" + command.keyText);
        AppendMenuW(menu, MF_STRING, command.id, item.c_str());
    }
    // The focus cues stay hidden until the user moves by keyboard, as in
    // the system's own dialogs.
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    mirrorAll();
}

MainWindow::~MainWindow() {
    form_.observe(nullptr);
    for (const auto& binder : binders_) binder->control().observe(nullptr);
    context_.closing = true;
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void MainWindow::build() {
    for (const ControlSpec& row : formLayout()) {
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

void MainWindow::addTooltips() {
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

void MainWindow::layout(UINT dpi) {
    if (dpi != context_.dpi) {
        // The old font goes once the controls have the new one.
        std::unique_ptr<GuiFont> old = std::move(font_);
        context_.dpi = dpi;
        font_ = std::make_unique<GuiFont>(dpi);
        context_.font = font_->get();
    }
    const WindowSpec& window = formSpec();
    const SIZE client{twipsToPixels(window.clientWidth, dpi), twipsToPixels(window.clientHeight, dpi)};
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

void MainWindow::centre() {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT r;
    GetWindowRect(hwnd_, &r);
    const RECT& work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - (r.right - r.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND MainWindow::windowOf(const Control& control) const {
    const Binder* binder = binderOf(control);
    return binder ? binder->hwnd() : nullptr;
}

HWND MainWindow::focusWindowOf(const Control& control) const {
    const Binder* binder = binderOf(control);
    return binder ? binder->focusWindow() : nullptr;
}

Binder* MainWindow::binderOf(HWND window) const {
    for (const auto& binder : binders_) {
        if (binder->hwnd() == window) return binder.get();
    }
    return nullptr;
}

const Binder* MainWindow::captionLabelOf(const Binder& field) const {
    const ControlKind kind = field.control().kind();
    if (kind != ControlKind::TextBox && kind != ControlKind::ComboBox) return nullptr;
    const Control* label = form_.control(field.control().spec().labelledBy);
    return label && label->kind() == ControlKind::Label ? binderOf(*label) : nullptr;
}

Binder* MainWindow::binderOf(const Control& control) const {
    for (const auto& binder : binders_) {
        if (&binder->control() == &control) return binder.get();
    }
    return nullptr;
}

void MainWindow::mirrorAll() {
    if (context_.closing) return;
    input::MirrorScope scope(context_);
    for (const auto& binder : binders_) binder->mirror();
    mirrorWindow();
}

void MainWindow::mirrorWindow() {
    if (context_.closing) return;
    input::MirrorScope scope(context_);
    const std::wstring title = win32::wide(form_.caption());
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(GetWindowTextW(hwnd_, shown.data(), static_cast<int>(shown.size()))));
    if (shown != title) SetWindowTextW(hwnd_, title.c_str());
    if ((IsWindowEnabled(hwnd_) != FALSE) != form_.enabled()) EnableWindow(hwnd_, form_.enabled());
    mirrorFocus();
}

void MainWindow::mirrorFocus() {
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

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        // An exception cannot pass through the system's code that called
        // here; the message gets the system's own handling instead.
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
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
        case WM_INITMENUPOPUP:
            // An item is there to use only when its command can act (the
            // undo: when there is a run to take back).
            if (HIWORD(lParam)) {
                for (const input::Command& command : input::commands()) {
                    EnableMenuItem(reinterpret_cast<HMENU>(wParam), command.id,
                                   MF_BYCOMMAND | (form_.enabled() && command.enabled(form_) ? MF_ENABLED : MF_GRAYED));
                }
            }
            break;
        case WM_SYSCOMMAND:
            if (const input::Command* command = input::commandWithId(static_cast<unsigned>(wParam & 0xFFF0))) {
                if (context_.listening() && form_.enabled()) context_.act([this, command] { command->action(form_); });
                return 0;
            }
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
        case WM_CLOSE:
            // Closing the window during a run would pull the model out from
            // under it; a disabled window takes no close.
            if (form_.enabled()) DestroyWindow(hwnd_);
            return 0;
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
