// The two sides through which the core reaches the outside world: the file
// system and the system (System, system.h), and the person at the screen
// (User, user.h). The window model holds both; the engine's file work needs
// only the first. A front end brings its own User and the system's System,
// so the same rules run headless in tests, behind Qt on Linux and behind
// Win32 on Windows.
#pragma once

#include "platform/system.h"
#include "platform/user.h"

namespace qm {

struct Platform {
    System& system;
    User& user;
};

}  // namespace qm
