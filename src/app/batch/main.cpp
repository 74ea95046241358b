// quillmarsh-batch: one dispatch run from the command line.
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_main.h"
#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails the one file that passes it,
    // which is logged like any other failure, instead of killing the run.
    signal(SIGXFSZ, SIG_IGN);
    qm::PosixPlatform platform;
    return qm::batch::batchMain(std::vector<std::string>(argv + 1, argv + argc), platform, std::cout, std::cerr,
                                isatty(STDERR_FILENO) == 1);
}
