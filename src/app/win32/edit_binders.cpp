// The text box and the editable list share one edit field binding: typed
// keys and pastes reach the model through the input router; here the edit
// field is made the field that input/edit_field.h keeps alike with the model.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <algorithm>

#include "app/win32/edit_binders.h"
#include "input/edit_field.h"
#include "platform/win32/win32_text.h"
#include "window/form.h"

namespace qm::win32ui {

namespace {

// An edit field as the model's edit rules see it.
class FieldWindow final : public input::EditField {
public:
    explicit FieldWindow(HWND field) : field_(field) {}

    std::u16string text() const override {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(GetWindowTextW(field_, text.data(), static_cast<int>(text.size()))));
        return win32::fromWide(text);
    }
    input::Selection selection() const override {
        DWORD start = 0, end = 0;
        SendMessageW(field_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        return {std::min(start, end), static_cast<std::size_t>(std::max(start, end) - std::min(start, end))};
    }
    std::size_t caret() const override {
        const input::Selection at = selection();
        return at.start + at.length;
    }
    void setText(const std::u16string& text) override { SetWindowTextW(field_, win32::wide(text).c_str()); }
    void select(input::Selection wanted) override {
        SendMessageW(field_, EM_SETSEL, wanted.start, wanted.start + wanted.length);
    }

private:
    HWND field_;
};

// The model's length limit applies to typing and pasting only (a handler
// may write a longer text), so the edit field gets no limit of its own: it
// would cut what the model wrote. Keystrokes reach the field as plain
// characters, never through the input method.
void prepareField(HWND field, const ControlSpec& row) {
    SendMessageW(field, EM_SETLIMITTEXT, 0, 0);
    if (row.inputMethodOff) ImmAssociateContext(field, nullptr);
}

class TextBoxBinder final : public Binder {
public:
    TextBoxBinder(BindContext& context, TextBox& box)
        : Binder(context, box,
                 createControlWindow(context, box.spec(), WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
                                     WS_EX_CLIENTEDGE)),
          box_(box),
          field_(hwnd()) {
        prepareField(hwnd(), box.spec());
    }

    // The field's own edit (Delete, cut, undo, an input method where one is
    // allowed) as the model's edit.
    void notified(WORD code) override {
        if (code == EN_CHANGE) input::sendEdit(context_, field_, box_);
    }
    void sendSelection() override { input::sendSelection(context_, field_, box_); }

private:
    void mirrorState() override { input::mirrorEdit(field_, box_); }

    TextBox& box_;
    FieldWindow field_;
};

// The edit field inside an editable list.
HWND editFieldOf(HWND combo) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(combo, &info) ? info.hwndItem : nullptr;
}

class ComboBoxBinder final : public Binder {
public:
    ComboBoxBinder(BindContext& context, ComboBox& combo)
        : Binder(context, combo,
                 createControlWindow(context, combo.spec(), WC_COMBOBOXW,
                                     CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP)),
          combo_(combo),
          fieldWindow_(editFieldOf(hwnd())),
          field_(fieldWindow_) {
        for (const std::u16string& item : combo.items()) {
            const std::wstring text = win32::wide(item);
            SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        prepareField(fieldWindow_, combo.spec());
        // The box only as wide as the layout made it would cut the longer
        // entries short; ten at a time are shown when the list opens.
        SendMessageW(hwnd(), CB_SETMINVISIBLE, 10, 0);
    }

    std::vector<HWND> inputWindows() const override { return {hwnd(), fieldWindow_}; }
    HWND focusWindow() const override { return fieldWindow_; }

    void notified(WORD code) override {
        switch (code) {
            case CBN_EDITCHANGE:
                input::sendEdit(context_, field_, combo_);
                break;
            case CBN_SELCHANGE: {
                // Chosen with the mouse in the list, or with the arrow keys.
                const LRESULT index = SendMessageW(hwnd(), CB_GETCURSEL, 0, 0);
                if (index >= 0)
                    context_.act([this, index] { context_.form.chooseItem(combo_, static_cast<std::size_t>(index)); });
                break;
            }
            default:
                break;
        }
    }
    void sendSelection() override { input::sendSelection(context_, field_, combo_); }

    void place() override {
        const RECT r = pixelRectOf(combo_.spec(), context_.layout, context_.dpi);
        SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(context_.font), FALSE);
        // The window's height includes the open list; the closed box's
        // height is its field's, which is set apart.
        SetWindowPos(hwnd(), nullptr, r.left, r.top, r.right - r.left, (r.bottom - r.top) * 12,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        fitFieldHeight(r.bottom - r.top);
        fitListWidth(r.right - r.left);
    }

private:
    void mirrorState() override {
        // The current entry first: choosing one rewrites the edit field
        // (and choosing none empties it).
        if (SendMessageW(hwnd(), CB_GETCURSEL, 0, 0) != combo_.listIndex())
            SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(combo_.listIndex()), 0);
        input::mirrorEdit(field_, combo_);
    }

    // The closed box as high as the table says. The box adds its border to
    // the field's height, and systems differ in what they add (and in what
    // they report back), so the field is corrected until the box fits.
    void fitFieldHeight(int wanted) {
        LRESULT field = SendMessageW(hwnd(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
            // A closed box's window rectangle is its visible part.
            RECT closed;
            GetWindowRect(hwnd(), &closed);
            const int off = (closed.bottom - closed.top) - wanted;
            if (off == 0 || field - off <= 0) return;
            field -= off;
            SendMessageW(hwnd(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
        }
    }

    // The open list as wide as its longest entry.
    void fitListWidth(int boxWidth) {
        HDC dc = GetDC(hwnd());
        HGDIOBJ old = SelectObject(dc, context_.font);
        int widest = 0;
        for (const std::u16string& item : combo_.items()) {
            const std::wstring text = win32::wide(item);
            SIZE extent{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            widest = std::max<int>(widest, extent.cx);
        }
        SelectObject(dc, old);
        ReleaseDC(hwnd(), dc);
        const int width = widest + GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE);
        SendMessageW(hwnd(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(std::max(width, boxWidth)), 0);
    }

    ComboBox& combo_;
    HWND fieldWindow_;
    FieldWindow field_;
};

}  // namespace

std::unique_ptr<Binder> bindTextBox(BindContext& context, TextBox& box) {
    return std::make_unique<TextBoxBinder>(context, box);
}

std::unique_ptr<Binder> bindComboBox(BindContext& context, ComboBox& combo) {
    return std::make_unique<ComboBoxBinder>(context, combo);
}

}  // namespace qm::win32ui
