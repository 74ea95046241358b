// Moving a symbolic link as the link itself.
#pragma once

#include <sys/stat.h>

#include "platform/posix/posix_folders.h"

namespace qm::posix {

// Moves the symbolic link `name` (its lstat in `st`) from the folder
// `fromDir` to the same name in `to`, as the link itself: a rename, or on
// another file system a new link with the same target and time, published
// under a hidden name first and witnessed with its own identity.
TransferResult moveLink(int fromDir, const char* name, const struct stat& st, const PosixFolder& to,
                        TransferWitness* witness);
// A new link in `toDir` under `name` with the target and time of the link
// `name` in `fromDir` (its lstat in `st`), never replacing anything there;
// `made` is the new link's lstat. False with errno set (EEXIST: taken).
bool remakeLink(int fromDir, const char* name, const struct stat& st, int toDir, TransferWitness* witness,
                struct stat& made);

}  // namespace qm::posix
