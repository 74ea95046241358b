// Taking one file of a run back: the decisions, the same on every system,
// over the file the system holds (HeldFile), so that what is checked is
// what is moved or deleted.
#pragma once

#include "platform/system.h"

namespace qm {

// Moves `name` from `share` back to the same name in `source` while it is
// the file `expected` (same identity, size and time), never replacing
// anything there; across file systems a copy goes back and then the share's
// file goes. A symbolic link the run moved goes back as the link.
TakeBack moveBack(System& system, OpenFolder& share, NativeNameView name, OpenFolder& source,
                  const FileStamp& expected);
// Deletes the copy `name` in `share` while it is the file `expected` and the
// same name in `source` (a link there followed, as the copy followed it) is
// another file with the same bytes.
TakeBack deleteCopy(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected,
                    OpenFolder& source);

// Removes the hard link `name` in `share` while it is the file `expected`
// and the same name in `source` is still that very file (so that the link
// is never the last name of anything).
TakeBack removeHardLink(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected,
                        OpenFolder& source);
// Removes the symbolic link `name` in `share` while it is the link
// `expected`, which still leads where it was made to (a link repointed is
// another link).
TakeBack removeSymbolicLink(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected);

}  // namespace qm
