// The window program's command line, read before the toolkit starts: Qt
// cannot start in a terminal without a display (it aborts), and a wrong
// option or --help must still be answered there.
#pragma once

#include <string>
#include <vector>

namespace qm::desktop {

struct WindowArguments {
    enum class Action { ShowWindow, Answered };
    Action action = Action::ShowWindow;
    int exitCode = 0;     // when answered: 0 for --help and --version, 2 for a mistake
    std::string out, err;  // what the answer prints, UTF-8
    std::string screenshot;  // the picture to save, as given; empty: show the window
    int tabs = 0;            // Tab presses before the picture
};

// `args` without the program's name.
WindowArguments readWindowArguments(const std::vector<std::string>& args);

}  // namespace qm::desktop
