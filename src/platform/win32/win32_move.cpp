// Moving one file: a rename where the volume allows it, otherwise a copy
// that is published whole before the source name goes.
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace qm {

TransferResult Win32Platform::moveFile(OpenFolder& from, NativeNameView name, OpenFolder& to) {
    const std::u16string sourcePath = static_cast<win32::Win32Folder&>(from).pathOf(name);
    const std::u16string targetPath = static_cast<win32::Win32Folder&>(to).pathOf(name);
    const std::wstring source = win32::filePath(sourcePath);
    // The facts of the file itself (a link is not followed here).
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return {};
    }
    // Without MOVEFILE_REPLACE_EXISTING the rename refuses a taken name, and
    // without MOVEFILE_COPY_ALLOWED it stays a rename on one volume. A
    // symbolic link is not renamed: its share would receive a link that may
    // lead nowhere from there, so it delivers its content like a copy and the
    // link itself goes.
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        MoveFileExW(source.c_str(), win32::filePath(targetPath).c_str(), 0)) {
        const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        return {TransferOutcome::Moved, win32::factsOf(size, data.ftLastWriteTime)};
    }
    // Another volume, a refused rename (a name already taken, a source in
    // use) or a link: a copy, published whole, and then the source name
    // goes. A read-only source stays: its attribute asks not to be deleted.
    TransferResult copied = win32::copyInto(sourcePath, targetPath);
    if (copied.outcome == TransferOutcome::Copied && DeleteFileW(source.c_str())) copied.outcome = TransferOutcome::Moved;
    return copied;
}

}  // namespace qm
