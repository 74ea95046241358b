#include "platform/posix/posix_desktop.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/utf.h"

extern char** environ;

namespace qm::posix {

// xdg-open is started and left to run: it may stay as long as the program it
// opened. Its exit is collected on the next call (and at the end) with
// WNOHANG, by its own process id, so at most a few finished openers linger
// and no other child of the process, nor its SIGCHLD handling, is disturbed.
// How the opened window shows is the desktop's choice: xdg-open takes no say.
void DesktopOpener::open(const std::u16string& target) {
    reap();
    if (target.empty()) return;
    const std::string argument = text::toUtf8(target);
    char program[] = "xdg-open";
    char* argv[] = {program, const_cast<char*>(argument.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
    }
    pid_t pid;
    // A missing xdg-open shows up here as an error and is ignored, as promised.
    if (posix_spawnp(&pid, program, &actions, nullptr, argv, environ) == 0) openers_.push_back(pid);
    posix_spawn_file_actions_destroy(&actions);
}

void DesktopOpener::reap() {
    std::erase_if(openers_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace qm::posix
