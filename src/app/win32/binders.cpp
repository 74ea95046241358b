// The binders of labels, buttons, option buttons, the check box and the
// frame, and the one factory that turns a row of the layout table into a
// native control.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/win32/binder.h"
#include "app/win32/edit_binders.h"
#include "platform/win32/win32_text.h"
#include "window/form.h"
#include "window/layout.h"

namespace qm::win32ui {

void Binder::mirrorShown(bool enabled, bool visible) {
    // The control's own state: the whole window is disabled apart from it
    // during a run.
    if ((IsWindowEnabled(hwnd_) != FALSE) != enabled) EnableWindow(hwnd_, enabled);
    if ((IsWindowVisible(hwnd_) != FALSE) != visible) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Binder::place() {
    const RECT r = pixelRectOf(control().spec(), context_.layout, context_.dpi);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(context_.font), FALSE);
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT pixelRectOf(const ControlSpec& row, std::span<const ControlSpec> layout, UINT dpi) {
    Twips at = row.geometry;
    for (const ControlSpec& frame : layout) {
        if (frame.name != row.container) continue;
        at.left += frame.geometry.left;
        at.top += frame.geometry.top;
        break;
    }
    return twipsToRect(at, dpi);
}

HWND createControlWindow(BindContext& context, const ControlSpec& row, const wchar_t* className, DWORD style,
                         DWORD exStyle) {
    const std::wstring caption = win32::wide(row.caption);
    // Siblings clip one another, so that a control never paints over the
    // one that overlaps it (the table lets fields overlap their labels).
    return CreateWindowExW(exStyle, className, caption.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                           context.window, nullptr, GetModuleHandleW(nullptr), nullptr);
}

namespace {

class LabelBinder final : public Binder {
public:
    LabelBinder(BindContext& context, Label& label)
        // SS_NOTIFY: a label takes clicks and the pointer (for its tooltip,
        // its Click and MouseMove); SS_NOPREFIX: an "&" in a folder name is
        // shown, not taken for an access key; SS_PATHELLIPSIS: a path too
        // wide for the label is drawn cut in the middle, keeping its last
        // folder, as Explorer cuts paths.
        : Binder(context, label,
                 createControlWindow(context, label.spec(), WC_STATICW,
                                     SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY |
                                         (label.spec().elidesPath ? SS_PATHELLIPSIS : 0))),
          label_(label) {
        if (label.spec().acceptsDrops) DragAcceptFiles(hwnd(), TRUE);
    }

    // The second press of a double click is a double click, not a Click.
    void notified(WORD code) override {
        if (code == STN_CLICKED) context_.act([this] { context_.form.click(label_); });
    }

    void place() override {
        Binder::place();
        fitToCaption();
        fitToolTip();
    }

private:
    void mirrorState() override {
        const std::wstring caption = win32::wide(label_.caption());
        if (windowText() == caption) return;
        SetWindowTextW(hwnd(), caption.c_str());
        fitToCaption();
        fitToolTip();
    }

    // The caption's width in the window's font.
    int captionWidth() const {
        const std::wstring caption = windowText();
        HDC dc = GetDC(hwnd());
        HGDIOBJ old = SelectObject(dc, context_.font);
        SIZE extent{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(hwnd(), dc);
        return extent.cx;
    }

    // A path that is drawn cut is shown whole in the tooltip.
    void fitToolTip() {
        const ControlSpec& row = label_.spec();
        if (!row.elidesPath || !context_.tooltips) return;
        RECT client;
        GetClientRect(hwnd(), &client);
        std::wstring tip = win32::wide(captionWidth() > client.right - client.left
                                           ? elidedPathTooltip(row, label_.caption())
                                           : row.tooltip);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = context_.window;
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
        tool.lpszText = tip.data();
        SendMessageW(context_.tooltips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    std::wstring windowText() const {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd())) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), text.data(), static_cast<int>(text.size()))));
        return text;
    }

    // Grows and shrinks with the caption; the left edge stays put.
    void fitToCaption() {
        if (!label_.spec().autoSize) return;
        RECT r;
        GetWindowRect(hwnd(), &r);
        SetWindowPos(hwnd(), nullptr, 0, 0, captionWidth(), r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    Label& label_;
};

class PushButtonBinder final : public Binder {
public:
    PushButtonBinder(BindContext& context, PushButton& button)
        : Binder(context, button, createControlWindow(context, button.spec(), WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP)),
          button_(button) {}

    // A click with the mouse, or the space bar on the focused button.
    void notified(WORD code) override {
        if (code == BN_CLICKED) context_.act([this] { context_.form.click(button_); });
    }

private:
    void mirrorState() override {}  // no handler changes a button's caption

    PushButton& button_;
};

// Neither kind checks itself: the model does, and the copy shows it.
class OptionButtonBinder final : public Binder {
public:
    OptionButtonBinder(BindContext& context, OptionButton& option)
        : Binder(context, option, createControlWindow(context, option.spec(), WC_BUTTONW, BS_RADIOBUTTON | WS_TABSTOP)),
          option_(option) {}

    void notified(WORD code) override {
        if (code == BN_CLICKED) context_.act([this] { context_.form.click(option_); });
    }

private:
    void mirrorState() override {
        const WPARAM check = option_.value() ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(hwnd(), BM_GETCHECK, 0, 0)) != check)
            SendMessageW(hwnd(), BM_SETCHECK, check, 0);
    }

    OptionButton& option_;
};

class CheckBoxBinder final : public Binder {
public:
    CheckBoxBinder(BindContext& context, CheckBox& box)
        : Binder(context, box, createControlWindow(context, box.spec(), WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP)),
          box_(box) {}

    void notified(WORD code) override {
        if (code == BN_CLICKED) context_.act([this] { context_.form.click(box_); });
    }

private:
    void mirrorState() override {
        const WPARAM check = box_.value() != 0 ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(hwnd(), BM_GETCHECK, 0, 0)) != check)
            SendMessageW(hwnd(), BM_SETCHECK, check, 0);
    }

    CheckBox& box_;
};

class FrameBinder final : public Binder {
public:
    FrameBinder(BindContext& context, Frame& frame)
        : Binder(context, frame, createControlWindow(context, frame.spec(), WC_BUTTONW, BS_GROUPBOX)) {}

private:
    void mirrorState() override {}
};

std::unique_ptr<Binder> makeBinder(BindContext& context, Control& control) {
    switch (control.kind()) {
        case ControlKind::Label:
            return std::make_unique<LabelBinder>(context, static_cast<Label&>(control));
        case ControlKind::PushButton:
            return std::make_unique<PushButtonBinder>(context, static_cast<PushButton&>(control));
        case ControlKind::TextBox:
            return bindTextBox(context, static_cast<TextBox&>(control));
        case ControlKind::ComboBox:
            return bindComboBox(context, static_cast<ComboBox&>(control));
        case ControlKind::OptionButton:
            return std::make_unique<OptionButtonBinder>(context, static_cast<OptionButton&>(control));
        case ControlKind::CheckBox:
            return std::make_unique<CheckBoxBinder>(context, static_cast<CheckBox&>(control));
        case ControlKind::Frame:
            return std::make_unique<FrameBinder>(context, static_cast<Frame&>(control));
        case ControlKind::FileList:
            return nullptr;  // the file list is the model's, never shown
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<Binder> bindControl(BindContext& context, Control& control) {
    std::unique_ptr<Binder> binder = makeBinder(context, control);
    if (!binder) return nullptr;
    binder->place();
    binder->mirror();
    return binder;
}

}  // namespace qm::win32ui
