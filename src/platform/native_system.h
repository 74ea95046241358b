// The platform of the system the program is built for, under one name, for
// the code that is the same on every system (the front ends' main functions
// and the tests).
#pragma once

#ifdef _WIN32
#include "platform/win32/win32_system.h"
namespace qm {
using NativeSystem = Win32System;
}
#else
#include "platform/posix/posix_system.h"
namespace qm {
using NativeSystem = PosixSystem;
}
#endif
