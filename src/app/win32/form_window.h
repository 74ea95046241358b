// A window of the model's forms (the main window, a dialog it opens): one
// native control per visible control of the form's layout table, each kept
// a mirror of its control in the model, and the input router that turns
// what the user does into the model's actions.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <vector>

#include "app/win32/binder.h"
#include "app/win32/gui_font.h"
#include "app/win32/input_router.h"
#include "window/layout.h"

namespace qm {
class Control;
class Form;
}  // namespace qm

namespace qm::win32ui {

class FormWindow {
public:
    // `window` and `layout`: the form's table. `owner`: the window a dialog
    // belongs to (nullptr for the main window). `dpi`: the density to lay
    // the window out for; 0 takes the monitor's own and follows the window
    // from monitor to monitor.
    FormWindow(Form& form, const WindowSpec& window, std::span<const ControlSpec> layout, HWND owner, UINT dpi);
    virtual ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    Form& form() const { return form_; }
    // The native control that shows a control; nullptr for the hidden file list.
    HWND windowOf(const Control& control) const;
    // The window a control's keyboard focus is in (the editable list's edit field).
    HWND focusWindowOf(const Control& control) const;
    UINT dpi() const { return context_.dpi; }
    // The tooltip control of the window's controls.
    HWND tooltips() const { return tooltips_; }

    // Closing the window ends the program's message loop.
    void endProgramOnClose() { endsProgram_ = true; }
    // Copies the whole model into the controls and the window.
    void mirrorAll();

    // The class's window procedure: finds the window's FormWindow (handed
    // over at WM_NCCREATE, so it sees every message from the first) and lets
    // no exception out into the system's code.
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

protected:
    // What the window does with a message; a kind of window handles its
    // own messages and hands the rest on to this.
    virtual LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Whether the window is kept disabled whatever the model says (its
    // dialog is open over it).
    virtual bool heldDisabled() const { return false; }
    void mirrorWindow();

    BindContext context_;

private:
    void build();
    void addTooltips();
    // Sizes the window and places every control for `dpi`, in a font made for it.
    void layout(UINT dpi);
    void centre(HWND owner);
    void mirrorFocus();
    Binder* binderOf(HWND window) const;
    Binder* binderOf(const Control& control) const;
    // The label whose caption names an edit field; nullptr for other controls.
    const Binder* captionLabelOf(const Binder& field) const;

    Form& form_;
    const WindowSpec& spec_;
    InputRouter router_;
    std::vector<std::unique_ptr<Binder>> binders_;
    std::unique_ptr<GuiFont> font_;  // context_.font
    HWND hwnd_ = nullptr;
    HWND tooltips_ = nullptr;
    bool followsMonitor_;
    bool endsProgram_ = false;
};

}  // namespace qm::win32ui
