// The main window: the form window of Form1, with the window's commands in
// its system menu, the host of the dialogs it opens, and the way out of a
// run (Esc, or closing the window, asks to stop it).
#pragma once

#include <windows.h>

#include "app/win32/form_window.h"

namespace qm {
class Form;
class Form1;
}  // namespace qm

namespace qm::win32ui {

class MainWindow : public FormWindow {
public:
    // The items the window adds to its system menu (their rows in
    // input/commands.cpp): taking the last run back, the options dialog.
    static constexpr UINT kUndoCommand = 0x0010;
    static constexpr UINT kOptionsCommand = 0x0020;

    // `dpi`: the density to lay the window out for; 0 takes the monitor's
    // own and follows the window from monitor to monitor.
    explicit MainWindow(Form1& form, UINT dpi = 0);
    ~MainWindow() override;

    // The dialog open over the window now; nullptr when there is none.
    FormWindow* dialog() const { return dialog_; }

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool heldDisabled() const override { return dialog_ != nullptr; }

private:
    // The model's dialog host: the dialog as a window of its own over this
    // one, which takes no input until the dialog says it is closed.
    void showDialog(Form& dialog);
    // Esc or a close during a run: the model asks whether to stop.
    void askToStop(bool thenClose);
    // Once a run stopped by a close has ended and nothing holds the window
    // any more (the run's report box), the window closes.
    bool mayCloseNow() const;

    Form1& form1_;
    FormWindow* dialog_ = nullptr;
    bool asking_ = false;
    bool closeAfterRun_ = false;
};

}  // namespace qm::win32ui
