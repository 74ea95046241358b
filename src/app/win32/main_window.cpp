#include "app/win32/main_window.h"

#include <stdexcept>
#include <string>

#include "app/win32/window_user.h"
#include "input/commands.h"
#include "platform/win32/win32_text.h"
#include "window/form1.h"
#include "window/options_dialog.h"
#include "window/options_layout.h"

namespace qm::win32ui {

namespace {

// Posted once a run that a close stopped has ended: the close, done when
// nothing holds the window any more.
constexpr UINT kCloseAfterRunMessage = WM_APP + 3;

// A dialog of the window over its owner: Esc and its close box are its
// 取消.
class DialogWindow final : public FormWindow {
public:
    DialogWindow(OptionsDialog& dialog, HWND owner, UINT dpi)
        : FormWindow(dialog, optionsSpec(), optionsLayout(), owner, dpi), dialog_(dialog) {
        context_.escape = [this] { dialog_.cancel(); };
    }

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE) {
            context_.act([this] { dialog_.cancel(); });
            return 0;
        }
        return FormWindow::handle(message, wParam, lParam);
    }

private:
    OptionsDialog& dialog_;
};

}  // namespace

MainWindow::MainWindow(Form1& form, UINT dpi) : FormWindow(form, formSpec(), formLayout(), nullptr, dpi), form1_(form) {
    // The window's commands, as their shortcuts take them, in its own menu.
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (const input::Command& command : input::commands()) {
        std::u16string item = command.text;
        item += u'\t';
        item += command.keyText;
        AppendMenuW(menu, MF_STRING, command.id, win32::wide(item).c_str());
    }
    form.setDialogHost([this](Form& dialog) { showDialog(dialog); });
}

MainWindow::~MainWindow() { form1_.setDialogHost(nullptr); }

void MainWindow::showDialog(Form& form) {
    auto* options = dynamic_cast<OptionsDialog*>(&form);
    if (!options) throw std::logic_error("the window has no dialog of that kind");
    HWND owner = hwnd();
    // What was typed at the window before the dialog took over (the
    // character of the very shortcut that opened it) is nobody's now.
    MSG message;
    while (PeekMessageW(&message, owner, WM_CHAR, WM_CHAR, PM_REMOVE)) {
    }
    DialogWindow shown(*options, owner, dpi());
    // However the dialog ends (a throw too), its owner takes input again,
    // before the dialog goes, so that the activation comes back to it.
    struct Held {
        MainWindow& window;
        ~Held() {
            window.dialog_ = nullptr;
            window.mirrorWindow();
        }
    } held{*this};
    dialog_ = &shown;
    mirrorWindow();
    ShowWindow(shown.hwnd(), SW_SHOWNORMAL);
    while (!options->closed()) {
        // A dialog taken down from outside (its owner destroyed) is cancelled.
        if (!shown.hwnd() || !hwnd()) {
            options->cancel();
            break;
        }
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // The program is ending: the dialog is cancelled and the main
            // loop gets the quit back.
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            options->cancel();
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void MainWindow::askToStop(bool thenClose) {
    // The question's box lets messages through; a second Esc or close
    // meanwhile asks nothing more.
    if (asking_) return;
    asking_ = true;
    const bool stopping = form1_.RequestStop();
    asking_ = false;
    if (stopping && thenClose) closeAfterRun_ = true;
}

bool MainWindow::mayCloseNow() const {
    return closeAfterRun_ && !form1_.busy() && form1_.enabled() && !dialog_ && hwnd() && IsWindowEnabled(hwnd());
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITMENUPOPUP:
            // An item is there to use only when its command can act (the
            // undo: when there is a run to take back).
            if (HIWORD(lParam)) {
                for (const input::Command& command : input::commands()) {
                    EnableMenuItem(reinterpret_cast<HMENU>(wParam), command.id,
                                   MF_BYCOMMAND |
                                       (form1_.enabled() && command.enabled(form1_) ? MF_ENABLED : MF_GRAYED));
                }
            }
            break;
        case WM_SYSCOMMAND:
            if (const input::Command* command = input::commandWithId(static_cast<unsigned>(wParam & 0xFFF0))) {
                if (context_.listening() && form1_.enabled() && !dialog_)
                    context_.act([this, command] { command->action(form1_); });
                return 0;
            }
            break;
        case kStopRunMessage:
            if (form1_.busy()) askToStop(false);
            return 0;
        case WM_CLOSE:
            // During a run the model is in use: closing asks to stop, and
            // the window goes once the run is over. With a dialog open, the
            // dialog goes first.
            if (form1_.busy()) {
                askToStop(true);
            } else if (form1_.enabled() && !dialog_) {
                DestroyWindow(hwnd());
            }
            return 0;
        case WM_ENABLE:
            // The window takes input again: the run is over and its report
            // box, if any, is gone; the close goes after what is running now.
            if (wParam && mayCloseNow()) PostMessageW(hwnd(), kCloseAfterRunMessage, 0, 0);
            break;
        case kCloseAfterRunMessage:
            if (mayCloseNow()) DestroyWindow(hwnd());
            return 0;
        default:
            break;
    }
    return FormWindow::handle(message, wParam, lParam);
}

}  // namespace qm::win32ui
