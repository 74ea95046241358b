// The user side of the Windows window: message boxes, the folder dialog, the
// beep, the pointer and repainting during a run belong to the window;
// documents and folders go to the file manager. The two system calls that
// wait for a person are virtual, so that the tests answer them.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/user.h"
#include "platform/win32/win32_desktop.h"

namespace qm::win32ui {

// Sent to the window during a run when the user presses Esc: the window
// asks whether to stop.
constexpr UINT kStopRunMessage = WM_APP + 2;

class WindowUser : public User, protected win32::Explorer {
public:
    // The window that message boxes and the folder dialog belong to. The
    // user side exists before the window (the model needs it first), so the
    // window is handed over once built.
    void setWindow(HWND window) { window_ = window; }
    HWND window() const { return window_; }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override;
    void openInDesktop(const std::u16string& target, ShowAs show) override { open(target, show); }
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override;
    void showPointingCursor() override;
    void keepResponsive() override;

protected:
    // MessageBoxW.
    virtual int showMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type);
    // SHBrowseForFolderW: the chosen item, or nullptr when cancelled.
    virtual PIDLIST_ABSOLUTE showFolderDialog(BROWSEINFOW& info);

private:
    static void repostQuit(const MSG& quit);
    // Acts on the one input a run takes: Esc asks to stop, Alt+F4 closes.
    void takeDuringRun(const MSG& input) const;

    HWND window_ = nullptr;
    ULONGLONG lastPump_ = 0;
};

// What the folder dialog's callback does when the dialog opens: selects
// the initial folder given in `data` (a wide string). Public for the tests,
// which stand in for the dialog.
int CALLBACK selectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM data);

}  // namespace qm::win32ui
