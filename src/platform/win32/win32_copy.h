// Copying one file as the transfer contract says, from a name or from a
// source that is open already.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/win32_folders.h"

namespace qm::win32 {

// Copies `from` to the new name `name` in `to` as the transfer contract
// says: Copied, AlreadyThere or Failed, with the source's facts; the source
// is never touched. What the folder's file system refuses to keep (times,
// attributes) the copy goes without (unkept), and the folders of the run
// learn it (see Refusals). With `clone`, the copy shares the source's
// blocks where its volume can (Cloned), and is copied where not (Copied).
TransferResult copyInto(const std::u16string& from, Win32Folder& to, NativeNameView name, TransferWitness* witness,
                        bool clone = false);
// The same from a source that is open already (at its start).
TransferResult copyOpen(HANDLE in, const FileInfo& source, Win32Folder& to, NativeNameView name,
                        TransferWitness* witness, bool clone = false);
// What a transfer whose destination name is taken comes to: AlreadyThere
// when a regular file with the source's bytes has it, else Failed.
TransferResult compareWithTaken(const std::u16string& from, const std::u16string& to);

// Whether two open files hold the same bytes from their current positions on.
bool sameBytes(HANDLE a, HANDLE b);

}  // namespace qm::win32
