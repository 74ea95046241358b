// quillmarsh-batch.exe: one dispatch run from the command line.
//
// wmain receives the arguments as UTF-16, as typed, whatever the code page;
// main would get them in the ANSI code page, which cannot hold every name.
#include <string>
#include <vector>

#include "app/batch/batch_main.h"
#include "platform/win32/win32_console.h"
#include "platform/win32/win32_platform.h"
#include "text/utf.h"

int wmain(int argc, wchar_t** argv) {
    qm::win32::quietCriticalErrors();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view arg(argv[i]);
        args.push_back(qm::text::toUtf8(std::u16string(arg.begin(), arg.end())));
    }
    qm::win32::StandardStream out(qm::win32::StandardStream::Which::Output);
    qm::win32::StandardStream err(qm::win32::StandardStream::Which::Error);
    qm::Win32Platform platform;
    return qm::batch::batchMain(args, platform, out, err, err.isConsole());
}
