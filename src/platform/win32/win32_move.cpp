// Moving one file: a rename where the volume allows it, otherwise a copy
// that is published whole before the source name goes.
#include "platform/win32/win32_copy.h"
#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_links.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm {

TransferResult Win32System::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                       TransferWitness* witness) {
    const auto& source = static_cast<win32::Win32Folder&>(from);
    auto& target = static_cast<win32::Win32Folder&>(to);
    const std::u16string sourcePath = source.pathOf(name), targetPath = target.pathOf(name);
    // The file itself (a link is not followed), opened so that the rename
    // moves exactly the file that was looked at.
    win32::Handle file(CreateFileW(win32::filePath(sourcePath).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    win32::FileInfo info;
    // A source that another program holds without sharing it for deletion
    // cannot be renamed, but it can still be copied (the copy checks that it
    // is a regular file), and it stays where it is.
    const bool inUse = !file.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
    if (!inUse && (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK ||
                   !GetFileInformationByHandle(file.get(), &info.info) ||
                   (info.info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0))
        return {};
    // A symbolic link moves as the link: what it leads to is not the run's
    // to move. Another kind of reparse point (a file that a cloud service
    // or deduplication keeps elsewhere, say) is read through, as a copy
    // reads it.
    const bool reparsePoint = !inUse && (info.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool sameVolume = source.volume() == target.volume();
    if (reparsePoint && win32::whatIs(file.get(), info) == win32::Itself::Link)
        return win32::moveLink(file, info, targetPath, sameVolume, witness);
    // Between two volumes a rename cannot work, and is not tried.
    if (!inUse && !reparsePoint && sameVolume) {
        if (witness && !witness->publishing(info.facts(), info.id())) return {};
        if (win32::renameOpen(file.get(), targetPath)) return {TransferOutcome::Moved, info.facts(), info.id()};
        const DWORD why = GetLastError();
        if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) {
            file.close();
            return win32::compareWithTaken(sourcePath, targetPath);
        }
    }
    if (!inUse && !reparsePoint) {
        // Another volume or a refused rename: the very file that was looked
        // at is read through a handle of its own, copied, and removed through
        // the first handle, whatever has its name by then. A read-only
        // source stays: its attribute asks not to be deleted.
        win32::Handle in(ReOpenFile(file.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    FILE_FLAG_SEQUENTIAL_SCAN));
        if (!in.valid()) return {};
        TransferResult copied = win32::copyOpen(in.get(), info, target, name, witness);
        in.close();
        if (copied.outcome == TransferOutcome::Copied && win32::markForDeletion(file.get(), true) && file.close())
            copied.outcome = TransferOutcome::Moved;
        return copied;
    }
    file.close();
    // A source in use, which cannot be held, or a reparse point, which is
    // read through: a copy, published whole, and then the source name goes.
    // A read-only source stays.
    TransferResult copied = win32::copyInto(sourcePath, target, name, witness);
    if (copied.outcome == TransferOutcome::Copied && DeleteFileW(win32::filePath(sourcePath).c_str()))
        copied.outcome = TransferOutcome::Moved;
    return copied;
}

}  // namespace qm
