// quillmarsh-batch: one dispatch run from the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch/batch_main.h"
#include "platform/posix/posix_system.h"

namespace {

// The signal that asked the run to stop; the run checks it between files.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void askToStop(int signal) { stopSignal.store(signal); }

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails the one file that passes it,
    // which is logged like any other failure, instead of killing the run.
    signal(SIGXFSZ, SIG_IGN);
    // Ctrl+C and SIGTERM stop the run between files: the file in hand
    // finishes, the record and the failure log are closed, and the report
    // says what was not dealt. A second one ends the program at once, as
    // the user then clearly wants (the record holds every file all the same).
    struct sigaction stop = {};
    stop.sa_handler = askToStop;
    stop.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&stop.sa_mask);
    for (int signal : {SIGINT, SIGTERM}) {
        // A signal ignored from the start (a background job of a shell
        // without job control) stays ignored.
        struct sigaction old;
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) sigaction(signal, &stop, nullptr);
    }
    qm::PosixSystem system;
    return qm::batch::batchMain(std::vector<std::string>(argv + 1, argv + argc), system, std::cout, std::cerr,
                                isatty(STDERR_FILENO) == 1, &stopSignal);
}
