// The window: one native control per visible control of the layout table,
// each kept a mirror of its control in the model, and the input router that
// turns what the user does into the model's actions.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/win32/binder.h"
#include "app/win32/gui_font.h"
#include "app/win32/input_router.h"

namespace qm {
class Control;
class Form1;
}  // namespace qm

namespace qm::win32ui {

class MainWindow {
public:
    // The item the window adds to its system menu: taking the last run back.
    static constexpr UINT kUndoCommand = 0x0010;  // the undo's row in input/commands.cpp

    // `dpi`: the density to lay the window out for; 0 takes the monitor's
    // own and follows the window from monitor to monitor.
    explicit MainWindow(Form1& form, UINT dpi = 0);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
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

    // The class's window procedure: finds the window's MainWindow (handed
    // over at WM_NCCREATE, so it sees every message from the first) and lets
    // no exception out into the system's code.
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void build();
    void addTooltips();
    // Sizes the window and places every control for `dpi`, in a font made for it.
    void layout(UINT dpi);
    void centre();
    void mirrorWindow();
    void mirrorFocus();
    Binder* binderOf(HWND window) const;
    Binder* binderOf(const Control& control) const;
    // The label whose caption names an edit field; nullptr for other controls.
    const Binder* captionLabelOf(const Binder& field) const;

    Form1& form_;
    BindContext context_;
    InputRouter router_;
    std::vector<std::unique_ptr<Binder>> binders_;
    std::unique_ptr<GuiFont> font_;  // context_.font
    HWND hwnd_ = nullptr;
    HWND tooltips_ = nullptr;
    bool followsMonitor_;
    bool endsProgram_ = false;
};

}  // namespace qm::win32ui
