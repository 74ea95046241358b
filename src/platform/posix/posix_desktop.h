// Handing a folder, a document or an address to the desktop's own program
// (xdg-open), for the user side of a POSIX front end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qm::posix {

class DesktopOpener {
public:
    DesktopOpener() = default;
    DesktopOpener(const DesktopOpener&) = delete;
    DesktopOpener& operator=(const DesktopOpener&) = delete;
    ~DesktopOpener() { reap(); }

    // Starts xdg-open with the target, without a shell and without waiting;
    // a failure (no xdg-open) is ignored.
    void open(const std::u16string& target);

private:
    // Collects the openers that have finished, without waiting for any.
    void reap();

    std::vector<pid_t> openers_;  // started, not yet reaped
};

}  // namespace qm::posix
