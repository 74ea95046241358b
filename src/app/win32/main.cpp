// quillmarsh.exe: the desktop window on Windows.
//
//   quillmarsh.exe                shows the window
//   quillmarsh.exe --screenshot FILE.bmp [--tab N]
//                                 shows the window, presses Tab N times (so
//                                 that the picture shows the focus as a
//                                 keyboard user sees it), saves what the
//                                 screen shows of it and exits
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "app/win32/main_window.h"
#include "app/win32/window_picture.h"
#include "app/win32/window_user.h"
#include "platform/win32/win32_system.h"
#include "window/form1.h"

namespace {

struct Options {
    std::wstring screenshot;
    int tabs = 0;
    bool usable = true;
};

Options readOptions() {
    Options options;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return options;
    for (int i = 1; i < count && options.usable; ++i) {
        const std::wstring arg = args[i];
        if (arg == L"--screenshot" && i + 1 < count) {
            options.screenshot = args[++i];
        } else if (arg == L"--tab" && i + 1 < count) {
            wchar_t* end = nullptr;
            const long n = std::wcstol(args[++i], &end, 10);
            options.usable = end && *end == L'\0' && n >= 0 && n < 100;
            options.tabs = static_cast<int>(n);
        } else {
            options.usable = false;
        }
    }
    LocalFree(args);
    if (options.tabs > 0 && options.screenshot.empty()) options.usable = false;
    return options;
}

// Handles what is waiting, without waiting for more.
void drainMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int takeScreenshot(qm::win32ui::MainWindow& window, const Options& options) {
    for (int i = 0; i < 20; ++i) {
        drainMessages();
        Sleep(25);
    }
    // Real key presses, through the same routing as the user's.
    for (int i = 0; i < options.tabs; ++i) {
        HWND focus = GetFocus();
        SendMessageW(focus ? focus : window.hwnd(), WM_KEYDOWN, VK_TAB, 1);
        drainMessages();
    }
    for (int i = 0; i < 20; ++i) {
        drainMessages();
        Sleep(25);
    }
    return qm::win32ui::saveWindowPicture(window.hwnd(), options.screenshot) ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    // No system error box (a drive without a medium) may stop the window.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const Options options = readOptions();
    if (!options.usable) {
        MessageBoxW(nullptr, L"用法：quillmarsh.exe [--screenshot 文件.bmp [--tab 次数]]", L"Quillmarsh",
                    MB_OK | MB_ICONSTOP);
        return 2;
    }
    // The new-style folder dialog needs COM in a single-threaded apartment.
    const HRESULT ole = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    int status = 0;
    {
        qm::Win32System system;
        qm::win32ui::WindowUser user;
        qm::Form1 form({system, user});
        qm::win32ui::MainWindow window(form);
        user.setWindow(window.hwnd());
        window.endProgramOnClose();
        form.load();  // start-up runs before the window is first shown
        ShowWindow(window.hwnd(), options.screenshot.empty() ? show : SW_SHOWNORMAL);
        UpdateWindow(window.hwnd());
        if (!options.screenshot.empty()) {
            status = takeScreenshot(window, options);
        } else {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            status = static_cast<int>(message.wParam);
        }
    }
    if (SUCCEEDED(ole)) OleUninitialize();
    return status;
}
