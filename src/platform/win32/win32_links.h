// Moving a symbolic link as the link itself, and making one anew.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win32_folders.h"

namespace qm::win32 {

// Moves the symbolic link `link` (opened as itself with DELETE access, its
// own facts in `info`) to the new name `to` as the link: renamed on the same
// volume, else made anew there (see remakeLink) and then removed. Moved,
// Copied (the link could not be removed), AlreadyThere (a link with the same
// target has the name) or Failed, with the facts and identity of the link
// that now has the name.
TransferResult moveLink(Handle& link, const FileInfo& info, const std::u16string& to, bool sameVolume,
                        TransferWitness* witness);
// A new link at `to` with the target and times of the open link `link`: made
// under a hidden name beside `to`, told to the witness with its own facts
// and identity (in `made`), and renamed into place, never replacing. False
// with the reason left for GetLastError (ERROR_ALREADY_EXISTS: `to` is
// taken; ERROR_PRIVILEGE_NOT_HELD: links cannot be made here).
bool remakeLink(HANDLE link, const FileInfo& info, const std::u16string& to, TransferWitness* witness, FileInfo& made);

}  // namespace qm::win32
