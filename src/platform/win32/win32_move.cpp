// Moving one file: a rename where the volume allows it, otherwise a copy
// that is published whole before the source name goes.
#include <windows.h>

#include "platform/win32/win32_copy.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace qm {

TransferOutcome Win32Platform::moveFile(const std::u16string& from, const std::u16string& to) {
    const std::wstring source = win32::filePath(from);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return TransferOutcome::Failed;
    }
    // Without MOVEFILE_REPLACE_EXISTING the rename refuses a taken name, and
    // without MOVEFILE_COPY_ALLOWED it stays a rename on one volume. A
    // symbolic link is not renamed: its share would receive a link that may
    // lead nowhere from there, so it delivers its content like a copy and the
    // link itself goes.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && MoveFileExW(source.c_str(), win32::filePath(to).c_str(), 0)) {
        return TransferOutcome::Moved;
    }
    // Another volume, a refused rename (a name already taken, a source in
    // use) or a link: a copy, published whole, and then the source name
    // goes. A read-only source stays: its attribute asks not to be deleted.
    const TransferOutcome copied = win32::copyInto(from, to);
    if (copied != TransferOutcome::Copied) return copied;
    return DeleteFileW(source.c_str()) ? TransferOutcome::Moved : TransferOutcome::Copied;
}

}  // namespace qm
