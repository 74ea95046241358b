// Copying one file as the transfer contract says, from a name or from a
// source that is open already.
#pragma once

#include <sys/stat.h>

#include "platform/posix/posix_folders.h"

namespace qm::posix {

// Copies `name` from the folder `from` to the same name in `to`, as the
// transfer contract says: Copied, AlreadyThere or Failed; with `clone`,
// sharing the source's blocks where the file system can (Cloned).
TransferResult copyInto(int from, const char* name, const PosixFolder& to, TransferWitness* witness,
                        bool clone = false);
// The same from a source that is open already (and positioned at its start).
TransferResult copyOpen(int in, const struct stat& source, const PosixFolder& to, const char* name,
                        TransferWitness* witness, bool clone = false);

// What a transfer whose destination name is taken comes to: AlreadyThere
// when a regular file with the source's bytes has it, else Failed.
TransferResult compareWithTaken(int from, const char* name, const PosixFolder& to);

// Whether two open files hold the same bytes from their current offsets on.
bool sameBytes(int a, int b);

}  // namespace qm::posix
