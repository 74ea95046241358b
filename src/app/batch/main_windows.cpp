// quillmarsh-batch.exe: one dispatch run from the command line.
//
// wmain receives the arguments as UTF-16, as typed, whatever the code page;
// main would get them in the ANSI code page, which cannot hold every name.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/batch/batch_main.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_system.h"
#include "text/utf.h"

namespace {

// Set by the console's Ctrl+C, Ctrl+Break or close; the run checks it
// between files. Windows has no signal numbers: every one of them counts as
// an interrupt (SIGINT, 2), so the program ends with 130.
std::atomic<int> stopRequest{0};
// Signalled once the run has closed its record and log.
HANDLE finished = nullptr;

BOOL WINAPI askToStop(DWORD event) {
    stopRequest.store(2);
    // Closing the console ends the process as soon as this returns: give
    // the run the few seconds the system allows to finish the file in hand
    // and close its record.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        WaitForSingleObject(finished, 4500);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    qm::win32::quietCriticalErrors();
    finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(askToStop, TRUE);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(qm::text::toUtf8(std::u16string(arg.begin(), arg.end())));
    }
    // "/?" alone asks for the help, as Windows' own commands answer it.
    if (args.size() == 1 && args.front() == "/?") args.front() = "--help";
    qm::win32::StandardStream out(qm::win32::StandardStream::Which::Output);
    qm::win32::StandardStream err(qm::win32::StandardStream::Which::Error);
    qm::Win32System system;
    const int code = qm::batch::batchMain(args, system, out, err, err.isConsole(), &stopRequest);
    out.flush();
    err.flush();
    SetEvent(finished);
    return code;
}
