// quillmarsh-batch: one dispatch run from the command line.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_run.h"
#include "app/batch/options.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails the one file that passes it,
    // which is logged like any other failure, instead of killing the run.
    signal(SIGXFSZ, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    qm::batch::ParseResult parsed = qm::batch::parseOptions(args);
    if (parsed.options.help) {
        std::cout << qm::batch::helpText();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << parsed.error << "\n（quillmarsh-batch --help 显示用法）\n";
        return qm::batch::kCouldNotStart;
    }
    qm::PosixPlatform platform;
    return qm::batch::runBatch(parsed.options, platform, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
