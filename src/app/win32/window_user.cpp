#include "app/win32/window_user.h"

#include "platform/win32/win32_text.h"

namespace qm::win32ui {

MsgResult WindowUser::messageBox(const MessageBoxRequest& request) {
    UINT type = request.buttons == MsgButtons::OkCancel ? MB_OKCANCEL : MB_OK;
    type |= request.icon == MsgIcon::Critical ? MB_ICONSTOP : MB_ICONINFORMATION;
    if (request.defaultButton == 1 && request.buttons == MsgButtons::OkCancel) type |= MB_DEFBUTTON2;
    const int answer = showMessageBox(window_, win32::wide(request.prompt), win32::wide(request.title), type);
    // Esc and the close box answer Cancel where there is one.
    return answer == IDCANCEL ? MsgResult::Cancel : MsgResult::Ok;
}

void WindowUser::beep() { MessageBeep(MB_OK); }

int WindowUser::showMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), type);
}

int CALLBACK selectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

std::u16string WindowUser::browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                               bool newStyle) {
    const std::wstring caption = win32::wide(title);
    const std::wstring initial = win32::wide(initialFolder);
    BROWSEINFOW info{};
    info.hwndOwner = window_;
    info.lpszTitle = caption.c_str();
    // The classic style offers file-system folders only; the new one is
    // resizable and has a button for making a folder.
    info.ulFlags = newStyle ? BIF_NEWDIALOGSTYLE : BIF_RETURNONLYFSDIRS;
    info.lpfn = selectInitialFolder;
    info.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
    PIDLIST_ABSOLUTE chosen = showFolderDialog(info);
    if (!chosen) return {};
    // Room for a long path: the classic 260 characters would fail a folder
    // deep down as if it had no file-system path.
    std::wstring path(32768, L'\0');
    std::u16string result;
    if (SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
        path.resize(wcslen(path.c_str()));
        result = win32::fromWide(path);
    }
    CoTaskMemFree(chosen);
    return result;
}

PIDLIST_ABSOLUTE WindowUser::showFolderDialog(BROWSEINFOW& info) { return SHBrowseForFolderW(&info); }

// Only the link label's MouseMove asks for it, while the pointer is over
// the label; the label's next WM_SETCURSOR puts the arrow back first.
void WindowUser::showPointingCursor() { SetCursor(LoadCursorW(nullptr, IDC_HAND)); }

// A run may deal 100,000 files, and a window that stops painting looks hung;
// input taken mid-run could start a second run inside the first. So only
// paint messages are handled, at most every 50 ms, and the keys and clicks
// aimed at the disabled window meanwhile are dropped, as a disabled window
// drops them: all but Esc, which asks to stop the run, and a close of the
// window (Alt+F4, or WM_CLOSE from the taskbar or another program), which
// asks to stop and then close.
void WindowUser::keepResponsive() {
    const ULONGLONG now = GetTickCount64();
    if (lastPump_ != 0 && now - lastPump_ < 50) return;
    lastPump_ = now;
    // Bounded, so that a window that keeps invalidating itself cannot hold
    // the run here.
    MSG message;
    for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT); ++i) {
        if (message.message == WM_QUIT) return repostQuit(message);
        takeDuringRun(message);
    }
    // Keys posted rather than typed are input all the same.
    for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE); ++i)
        takeDuringRun(message);
    if (window_) {
        for (int i = 0; i < 10 && PeekMessageW(&message, window_, WM_CLOSE, WM_CLOSE, PM_REMOVE); ++i)
            DispatchMessageW(&message);
    }
    for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) {
        if (message.message == WM_QUIT) return repostQuit(message);
        DispatchMessageW(&message);
    }
}

void WindowUser::takeDuringRun(const MSG& input) const {
    if (!window_ || (input.hwnd != window_ && !IsChild(window_, input.hwnd))) return;
    if (input.message != WM_KEYDOWN && input.message != WM_SYSKEYDOWN) return;
    if (input.lParam & (1 << 30)) return;  // a held key's repeats: one question is enough
    const bool alt = (input.lParam & (1 << 29)) != 0;
    if (input.wParam == VK_ESCAPE && !alt) {
        SendMessageW(window_, kStopRunMessage, 0, 0);
    } else if (input.wParam == VK_F4 && alt && input.message == WM_SYSKEYDOWN) {
        SendMessageW(window_, WM_CLOSE, 0, 0);
    }
}

// Not the run's to take: the main loop ends the program once the run is over.
void WindowUser::repostQuit(const MSG& quit) { PostQuitMessage(static_cast<int>(quit.wParam)); }

}  // namespace qm::win32ui
