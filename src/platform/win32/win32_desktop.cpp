// Handing folders, documents and addresses to the file manager.
#include <windows.h>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_text.h"

namespace qm {

std::wstring win32::commandLineArgument(std::u16string_view argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\",;") == std::u16string_view::npos) {
        return win32::wide(argument);
    }
    // Backslashes are literal unless they come before a quote, where they
    // are doubled.
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(static_cast<wchar_t>(c));
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}

std::wstring win32::explorerCommandLine(const std::u16string& target) {
    return L"explorer.exe " + commandLineArgument(target);
}

namespace {

int showCommandOf(ShowAs show) {
    switch (show) {
        case ShowAs::Normal:
            return SW_SHOWNORMAL;
        case ShowAs::NormalWithoutFocus:
            return SW_SHOWNOACTIVATE;
        case ShowAs::Maximized:
            return SW_SHOWMAXIMIZED;
    }
    return SW_SHOWNORMAL;
}

}  // namespace

void win32::Explorer::open(const std::u16string& target, ShowAs show) {
    if (target.empty()) return;
    // explorer.exe by its full name in the Windows folder: a bare name would
    // be looked for in the program's folder and the current folder first,
    // where anyone who can write there could put a program of that name.
    wchar_t windows[MAX_PATH + 1];
    const UINT n = GetWindowsDirectoryW(windows, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return;
    std::wstring application(windows, n);
    if (!application.ends_with(L'\\')) application += L'\\';
    startProgram(application + L"explorer.exe", win32::explorerCommandLine(target), showCommandOf(show));
}

void win32::Explorer::startProgram(const std::wstring& application, const std::wstring& commandLine, int showCommand) {
    std::wstring line = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    // No handles inherited: the started program must not hold the log or a
    // copy open. Not waited for; its handles are not needed.
    if (CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

}  // namespace qm
