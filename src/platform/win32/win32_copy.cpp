// Copying one file so that its name never shows anything but the whole file
// (or sharing its blocks, where the volume can), and writing a new file the
// same way.
//
// The data goes into a hidden temporary file in the destination folder that
// is marked for deletion while it is written: if the process dies, the
// system removes it. Once the data, the times and the attributes are in,
// the open file is renamed to its name without replacing what has it, and
// only then is the mark cleared (where a marked file cannot be renamed, the
// mark goes first and MoveFileExW without MOVEFILE_REPLACE_EXISTING renames it).
// Windows files have no permission bits; their attributes (read-only,
// hidden, system, archive) are what a copy keeps in their place. Where the
// destination's file system cannot set times or attributes, the copy goes
// without them rather than not at all.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_copy.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm::win32 {

namespace {

constexpr DWORD kChunk = 1 << 20;
// The attributes a copy takes over; the rest (compressed, encrypted, sparse,
// reparse point, ...) describe how the source is stored, not the file.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Reads until `size` bytes or the end of the file; the count read, or -1.
long long readFull(HANDLE file, char* buffer, DWORD size) {
    DWORD got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file, buffer + got, size - got, &n, nullptr)) return -1;
        if (n == 0) break;
        got += n;
    }
    return got;
}

bool writeAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD n = 0;
        if (!WriteFile(file, data, size, &n, nullptr) || n == 0) return false;
        data += n;
        size -= n;
    }
    return true;
}

}  // namespace

bool sameBytes(HANDLE a, HANDLE b) {
    std::unique_ptr<char[]> bufferA(new char[kChunk]), bufferB(new char[kChunk]);
    for (;;) {
        const long long na = readFull(a, bufferA.get(), kChunk);
        const long long nb = readFull(b, bufferB.get(), kChunk);
        if (na < 0 || nb < 0 || na != nb) return false;
        if (na == 0) return true;
        if (std::memcmp(bufferA.get(), bufferB.get(), static_cast<std::size_t>(na)) != 0) return false;
    }
}

namespace {

// Copies exactly `size` bytes and fails when the file turns out to hold
// fewer or more: a copy is a snapshot of the file as it was opened.
bool copyData(HANDLE in, HANDLE out, std::uint64_t size) {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (std::uint64_t left = size;;) {
        // One byte more than should be left, so that growth shows.
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left + 1, kChunk));
        const long long n = readFull(in, buffer.get(), want);
        if (n < 0 || static_cast<std::uint64_t>(n) > left) return false;
        if (n == 0) return left == 0;
        if (!writeAll(out, buffer.get(), static_cast<DWORD>(n))) return false;
        left -= static_cast<std::uint64_t>(n);
        if (left == 0 && n < want) return true;
    }
}

// Block cloning (ReFS), which the headers of mingw-w64 do not have.
constexpr DWORD kDuplicateExtents = CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 209, METHOD_BUFFERED, FILE_WRITE_ACCESS);
constexpr DWORD kGetIntegrity = CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 159, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD kSetIntegrity =
    CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 160, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct DuplicateExtents {
    HANDLE source;
    LARGE_INTEGER sourceOffset, targetOffset, byteCount;
};
struct Integrity {
    WORD checksumAlgorithm, reserved;
    DWORD flags, checksumChunkSize, clusterSize;
};
struct SetIntegrity {
    WORD checksumAlgorithm, reserved;
    DWORD flags;
};

bool setEnd(HANDLE file, std::uint64_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

// Shares the source's blocks with the new file (both on a volume that can,
// see Win32Folder::clonesBlocks); false where this pair cannot, and the
// caller copies instead. The file system asks that both files keep
// integrity streams alike, that a sparse source have a sparse clone, and
// that every range be whole clusters (the last one reaching past the end).
// A clone is a snapshot too: of exactly the size seen when the source was
// opened, which it still has once the blocks are shared.
bool cloneData(HANDLE in, HANDLE out, const FileInfo& source) {
    const std::uint64_t size = source.size();
    DWORD got = 0;
    Integrity theirs{}, mine{};
    if (!DeviceIoControl(in, kGetIntegrity, nullptr, 0, &theirs, sizeof theirs, &got, nullptr) ||
        theirs.clusterSize == 0 || !DeviceIoControl(out, kGetIntegrity, nullptr, 0, &mine, sizeof mine, &got, nullptr))
        return false;
    if (mine.checksumAlgorithm != theirs.checksumAlgorithm || mine.flags != theirs.flags) {
        SetIntegrity wanted{theirs.checksumAlgorithm, 0, theirs.flags};
        if (!DeviceIoControl(out, kSetIntegrity, &wanted, sizeof wanted, nullptr, 0, &got, nullptr)) return false;
    }
    if ((source.info.dwFileAttributes & FILE_ATTRIBUTE_SPARSE_FILE) != 0 &&
        !DeviceIoControl(out, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &got, nullptr))
        return false;
    if (!setEnd(out, size)) return false;
    // Less than 4 GiB a call, as the call asks, in whole clusters.
    const std::uint64_t cluster = theirs.clusterSize;
    const std::uint64_t most = (std::uint64_t{1} << 31) / cluster * cluster;
    bool shared = true;
    for (std::uint64_t at = 0; shared && at < size; at += most) {
        const std::uint64_t left = (size - at + cluster - 1) / cluster * cluster;
        DuplicateExtents range{in, {}, {}, {}};
        range.sourceOffset.QuadPart = range.targetOffset.QuadPart = static_cast<LONGLONG>(at);
        range.byteCount.QuadPart = static_cast<LONGLONG>(std::min(left, most));
        shared = DeviceIoControl(out, kDuplicateExtents, &range, sizeof range, nullptr, 0, &got, nullptr) != 0;
    }
    FileInfo now;
    if (shared && GetFileInformationByHandle(in, &now.info) && now.size() == size) return true;
    // Grown, shrunk or refused: what was shared is dropped, and the copy
    // that follows (from the start, where neither file's position moved)
    // fails as a copy of a changing file does. Were it not dropped, the
    // copy would still write every byte over it.
    setEnd(out, 0);
    return false;
}

LARGE_INTEGER large(const FILETIME& time) {
    LARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = static_cast<LONG>(time.dwHighDateTime);
    return value;
}

// What a copy keeps of its source besides the bytes: the last-write and
// last-access times, the attributes, or both. What is 0 is left as it is.
FILE_BASIC_INFO basicOf(const FileInfo& source, bool times, bool attributes) {
    FILE_BASIC_INFO basic{};
    if (times) {
        basic.LastAccessTime = large(source.info.ftLastAccessTime);
        basic.LastWriteTime = large(source.info.ftLastWriteTime);
    }
    if (attributes) {
        const DWORD kept = source.info.dwFileAttributes & kKeptAttributes;
        // 0 would mean "leave them": the temporary file's hidden flag would stay.
        basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
    }
    return basic;
}

bool setBasic(HANDLE out, FILE_BASIC_INFO basic, const Refusals& refusals) {
    if (refusals.simulated) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return SetFileInformationByHandle(out, FileBasicInfo, &basic, sizeof basic) != 0;
}

// The times or the attributes on their own; false only for a real failure.
// Once the file system said that it cannot set them, it is not asked again
// in this run, and `kept` turns false.
bool keep(HANDLE out, const FileInfo& source, Refusals& refusals, bool times, bool& kept) {
    std::atomic<bool>& refused = times ? refusals.times : refusals.attributes;
    if (refused.load(std::memory_order_relaxed)) {
        kept = false;
        return true;
    }
    if (setBasic(out, basicOf(source, times, !times), refusals)) return true;
    const Refused why = refusedFor(GetLastError());
    if (why == Refused::No) return false;
    if (why == Refused::EveryFile) refused.store(true, std::memory_order_relaxed);
    kept = false;
    return true;
}

// The source's times and attributes: in one call while the file system
// takes both, each on its own once it refused either, so that what it can
// keep is still kept.
bool takeTimesAndAttributes(HANDLE out, const FileInfo& source, Refusals& refusals, bool& timesKept,
                            bool& attributesKept) {
    if (!refusals.times.load(std::memory_order_relaxed) && !refusals.attributes.load(std::memory_order_relaxed) &&
        setBasic(out, basicOf(source, true, true), refusals))
        return true;
    return keep(out, source, refusals, true, timesKept) && keep(out, source, refusals, false, attributesKept);
}

// The attributes the temporary file is made with: hidden while it is
// written, unless its attributes could not be set afterwards (the file
// would stay hidden). Then what the source has that a new file can take
// (not read-only, under which it could not be marked for deletion).
DWORD madeWith(const FileInfo& source, const Refusals& refusals, bool visible) {
    if (!visible && !refusals.attributes.load(std::memory_order_relaxed)) return FILE_ATTRIBUTE_HIDDEN;
    const DWORD kept = source.info.dwFileAttributes & kKeptAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

// Again: made hidden, and its attributes turned out not to be settable;
// the copy is made once more, visible from the start.
enum class Publish { Done, Taken, Failed, NotByHandle, Again };

Publish publishedBy(bool renamed) {
    if (renamed) return Publish::Done;
    const DWORD why = GetLastError();
    return why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS ? Publish::Taken : Publish::NotByHandle;
}

// Tells the witness what is about to appear under the name: the facts the
// file really has, read back once its times were set (a file system that
// could not set them, or keeps them coarser, has its own).
bool witnessed(TransferWitness* witness, HANDLE out, FileStamp& made) {
    FileInfo written;
    if (!GetFileInformationByHandle(out, &written.info)) return false;
    made = written.stamp();
    return !witness || witness->publishing(made.facts, made.id);
}

// A new file under a hidden name beside `target`, filled by `fill` (its
// bytes) and given the times and attributes of `basis`, then published.
template <typename Fill>
Publish viaTemporaryName(const FileInfo& basis, Win32Folder& to, const std::u16string& target,
                         TransferWitness* witness, DWORD made, Fill&& fill, FileStamp& published, bool& kept) {
    const std::wstring temporary = filePath(temporaryNameBeside(target));
    // Not shared while it is written; DELETE so that it can be marked and renamed.
    Handle out(CreateFileW(temporary.c_str(), GENERIC_WRITE | GENERIC_READ | DELETE, 0, nullptr, CREATE_NEW, made,
                           nullptr));
    if (!out.valid()) return Publish::Failed;
    // A file system that cannot mark it still gets the copy; the file is
    // then removed by hand on failure, and only a kill would leave it.
    const bool marked = markForDeletion(out.get(), true);
    bool timesKept = true, attributesKept = true;
    const bool filled = fill(out.get()) &&
                        takeTimesAndAttributes(out.get(), basis, to.refusals(), timesKept, attributesKept);
    const bool again = filled && !attributesKept && (made & FILE_ATTRIBUTE_HIDDEN) != 0 &&
                       (basis.info.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) == 0;
    if (!filled || again || !witnessed(witness, out.get(), published)) {
        // A marked file goes by itself as it is closed.
        const bool closed = out.close();
        if (!marked || !closed) removeTemporary(temporary);
        return again ? Publish::Again : Publish::Failed;
    }
    kept = timesKept && attributesKept;
    // Published while still marked: a kill between the rename and clearing
    // the mark takes the whole file with it, so that neither its name nor a
    // temporary one is left. Where a marked file cannot be renamed, the mark
    // goes first and MoveFileExW publishes it.
    if (marked) {
        const Publish renamed = publishedBy(renameOpen(out.get(), target));
        if (renamed == Publish::Taken) return Publish::Taken;  // closing removes it
        if (renamed == Publish::Done) {
            // A delayed write error surfaces at close: the file is then not whole.
            if (markForDeletion(out.get(), false) && out.close()) return Publish::Done;
            out.close();
            DeleteFileW(filePath(target).c_str());
            return Publish::Failed;
        }
        if (!markForDeletion(out.get(), false)) return Publish::Failed;
    }
    if (!out.close()) {
        removeTemporary(temporary);
        return Publish::Failed;
    }
    if (MoveFileExW(temporary.c_str(), filePath(target).c_str(), 0)) return Publish::Done;
    const DWORD why = GetLastError();
    removeTemporary(temporary);
    return why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS ? Publish::Taken : Publish::Failed;
}

// Whether the file already at `path` is a regular file with the same bytes.
// It is opened without following a link: a link that leads back to the
// source must not count as a copy, or a move would delete the only one. For
// the same reason the source itself does not count either.
bool holdsSameContent(const std::u16string& path, HANDLE in, const FileInfo& source, FileId& id) {
    Handle existing(CreateFileW(filePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    FileInfo there;
    if (!existing.valid() || !isRegular(existing.get(), there, true)) return false;
    if (there.size() != source.size() || there.sameFileAs(source)) return false;
    id = there.id();
    LARGE_INTEGER start{};
    return SetFilePointerEx(in, start, nullptr, FILE_BEGIN) && sameBytes(in, existing.get());
}

// Whether the file at `path` is a regular file (not a link) holding exactly
// `bytes`; what it is in `there`.
bool holdsBytes(const std::u16string& path, std::string_view bytes, FileInfo& there) {
    Handle existing(CreateFileW(filePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!existing.valid() || !isRegular(existing.get(), there, true) || there.size() != bytes.size()) return false;
    constexpr DWORD kPiece = 64 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kPiece]);
    for (std::size_t at = 0;;) {
        const long long n = readFull(existing.get(), buffer.get(), kPiece);
        if (n < 0) return false;
        if (n == 0) return at == bytes.size();
        const auto got = static_cast<std::size_t>(n);
        if (got > bytes.size() - at || std::memcmp(buffer.get(), bytes.data() + at, got) != 0) return false;
        at += got;
    }
}

// The source for a copy: following a link, it delivers the content it leads
// to. Others may go on reading, writing or deleting it meanwhile, as on any copy.
Handle openSource(const std::u16string& from, FileInfo& source) {
    Handle in(CreateFileW(filePath(from).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (in.valid() && !isRegular(in.get(), source, false)) return Handle();
    return in;
}

}  // namespace

TransferResult copyOpen(HANDLE in, const FileInfo& source, Win32Folder& to, NativeNameView name,
                        TransferWitness* witness, bool clone) {
    const std::u16string target = to.pathOf(name);
    // Blocks are shared only within a volume, and only where it can.
    bool cloned = false;
    const bool tryClone = clone && source.info.dwVolumeSerialNumber == to.volume() && to.clonesBlocks();
    const auto fill = [&](HANDLE out) {
        cloned = tryClone && cloneData(in, out, source);
        return cloned || copyData(in, out, source.size());
    };
    // A name that is taken stays taken: compare at once rather than copy
    // first (a second run into the same shares would copy everything again).
    FileStamp made;
    bool kept = true;
    Publish published = GetFileAttributesW(filePath(target).c_str()) != INVALID_FILE_ATTRIBUTES
                            ? Publish::Taken
                            : viaTemporaryName(source, to, target, witness, madeWith(source, to.refusals(), false),
                                               fill, made, kept);
    if (published == Publish::Again) {
        LARGE_INTEGER start{};
        published = SetFilePointerEx(in, start, nullptr, FILE_BEGIN)
                        ? viaTemporaryName(source, to, target, witness, madeWith(source, to.refusals(), true), fill,
                                           made, kept)
                        : Publish::Failed;
    }
    if (published == Publish::Done)
        return {cloned ? TransferOutcome::Cloned : TransferOutcome::Copied, source.facts(), made.id, false, !kept};
    if (published != Publish::Taken) return {TransferOutcome::Failed, source.facts(), {}};
    FileId id;
    if (holdsSameContent(target, in, source, id)) return {TransferOutcome::AlreadyThere, source.facts(), id};
    return {TransferOutcome::Failed, source.facts(), {}, true};
}

TransferResult copyInto(const std::u16string& from, Win32Folder& to, NativeNameView name, TransferWitness* witness,
                        bool clone) {
    FileInfo source;
    Handle in = openSource(from, source);
    if (!in.valid()) return {};
    return copyOpen(in.get(), source, to, name, witness, clone);
}

TransferResult compareWithTaken(const std::u16string& from, const std::u16string& to) {
    FileInfo source;
    Handle in = openSource(from, source);
    if (!in.valid()) return {};
    FileId id;
    if (holdsSameContent(to, in.get(), source, id)) return {TransferOutcome::AlreadyThere, source.facts(), id};
    return {TransferOutcome::Failed, source.facts(), {}, true};
}

}  // namespace qm::win32

namespace qm {

TransferResult Win32System::writeFile(OpenFolder& folder, NativeNameView name, std::string_view bytes,
                                      TransferWitness* witness) {
    using win32::Publish;
    auto& to = static_cast<win32::Win32Folder&>(folder);
    const std::u16string target = to.pathOf(name);
    // What the new file is given besides its bytes, as a copy is given its
    // source's: the time it is written, set rather than left to the file
    // system (which may stamp it again as the handle closes, after the
    // record has its time), and the archive attribute of any file written.
    win32::FileInfo basis{};
    GetSystemTimeAsFileTime(&basis.info.ftLastWriteTime);
    basis.info.ftLastAccessTime = basis.info.ftLastWriteTime;
    basis.info.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    basis.info.nFileSizeHigh = static_cast<DWORD>(bytes.size() >> 32);
    basis.info.nFileSizeLow = static_cast<DWORD>(bytes.size());
    const auto fill = [&](HANDLE out) {
        for (std::string_view left = bytes; !left.empty();) {
            const auto piece = static_cast<DWORD>(std::min<std::size_t>(left.size(), win32::kChunk));
            if (!win32::writeAll(out, left.data(), piece)) return false;
            left.remove_prefix(piece);
        }
        return true;
    };
    // Published as a copy is: whole under a hidden name, then renamed,
    // never over a name that is taken.
    FileStamp made;
    bool kept = true;
    Publish published =
        GetFileAttributesW(win32::filePath(target).c_str()) != INVALID_FILE_ATTRIBUTES
            ? Publish::Taken
            : win32::viaTemporaryName(basis, to, target, witness, win32::madeWith(basis, to.refusals(), false), fill,
                                      made, kept);
    if (published == Publish::Again)
        published = win32::viaTemporaryName(basis, to, target, witness, win32::madeWith(basis, to.refusals(), true),
                                            fill, made, kept);
    if (published == Publish::Done) return {TransferOutcome::Copied, made.facts, made.id, false, !kept};
    if (published != Publish::Taken) return {};
    // Taken: the same bytes there already count as written.
    win32::FileInfo there;
    if (win32::holdsBytes(target, bytes, there)) return {TransferOutcome::AlreadyThere, there.facts(), there.id()};
    return {TransferOutcome::Failed, {}, {}, true};
}

TransferResult Win32System::copyFile(OpenFolder& from, NativeNameView name, OpenFolder& to,
                                       TransferWitness* witness) {
    return win32::copyInto(static_cast<win32::Win32Folder&>(from).pathOf(name), static_cast<win32::Win32Folder&>(to),
                           name, witness);
}

}  // namespace qm
