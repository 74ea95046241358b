// Handing a folder, a document or an address to the file manager
// (explorer.exe), for the user side of a Windows front end. Free of
// <windows.h>, so that the tests can include it.
#pragma once

#include <string>
#include <string_view>

#include "platform/user.h"

namespace qm::win32 {

class Explorer {
public:
    virtual ~Explorer() = default;
    // Starts "explorer.exe TARGET" with its window shown as asked, and does
    // not wait for it.
    void open(const std::u16string& target, ShowAs show);

protected:
    // Starts `application` with `commandLine`, asking it to show its window
    // with `showCommand` (SW_...), and closes the handles at once; a failure
    // is ignored. Tests record here instead.
    virtual void startProgram(const std::wstring& application, const std::wstring& commandLine, int showCommand);
};

// One argument of a command line, as CommandLineToArgvW (and so a program's
// wmain) reads it back: as it is when it holds no blank, quote, "," or ";"
// (explorer.exe splits at those too), quoted and escaped otherwise.
std::wstring commandLineArgument(std::u16string_view argument);

// The command line that opens `target` in the file manager: "explorer.exe "
// and the target as one argument.
std::wstring explorerCommandLine(const std::u16string& target);

}  // namespace qm::win32
