// Moving a symbolic link as the link itself: what it leads to belongs to
// whoever made the link, not to the run, and a link dealt into a share must
// come back as a link. On one volume the link is renamed; onto another it is
// made anew with the same target, under a hidden name first. And a file
// given as a hard link, a symbolic link or a clone instead of a copy.
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_links.h"
#include "platform/win32/win32_copy.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm::win32 {

namespace {

// A symbolic link's target as the file system keeps it: the name it
// follows ("\??\C:\data\file" for an absolute one, "..\file" for a relative
// one), and whether it is relative to the link's folder.
struct LinkTarget {
    std::wstring substitute;
    bool relative = false;
    bool operator==(const LinkTarget&) const = default;
};

// The reparse data of a symbolic link (REPARSE_DATA_BUFFER in the driver
// kit's headers, which are not the program's).
struct SymbolicLinkData {
    DWORD tag;
    WORD dataLength, reserved;
    WORD substituteOffset, substituteLength, printOffset, printLength;
    ULONG flags;
    WCHAR names[1];  // both names, where the offsets say, in bytes
};

std::optional<LinkTarget> targetOf(HANDLE link) {
    const std::unique_ptr<char[]> buffer(new char[MAXIMUM_REPARSE_DATA_BUFFER_SIZE]);
    DWORD got = 0;
    if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.get(), MAXIMUM_REPARSE_DATA_BUFFER_SIZE, &got,
                         nullptr))
        return std::nullopt;
    SymbolicLinkData data;
    const std::size_t header = offsetof(SymbolicLinkData, names);
    if (got < header) return std::nullopt;
    std::memcpy(&data, buffer.get(), header);
    if (data.tag != IO_REPARSE_TAG_SYMLINK || header + data.substituteOffset + data.substituteLength > got ||
        data.substituteLength % sizeof(wchar_t) != 0)
        return std::nullopt;
    LinkTarget target;
    target.substitute.resize(data.substituteLength / sizeof(wchar_t));
    std::memcpy(target.substitute.data(), buffer.get() + header + data.substituteOffset, data.substituteLength);
    target.relative = (data.flags & SYMLINK_FLAG_RELATIVE) != 0;
    return target;
}

// What CreateSymbolicLinkW takes to make a link to `target` again, most
// readable first: a relative target is kept as it stands; an absolute one
// is spelt as the drive or network path it names ("C:\data\file"), which
// the call turns back into the same name unless some part of it would be
// tidied away on the way; in its "\\?\" form, which is taken verbatim, it
// always is. Empty for a name that no path outside the kernel spells.
std::vector<std::wstring> spellingsOf(const LinkTarget& target) {
    if (target.relative) return {target.substitute};
    const std::wstring_view nt = target.substitute;
    if (!nt.starts_with(L"\\??\\")) return {};
    const std::wstring_view rest = nt.substr(4);
    std::vector<std::wstring> spellings;
    if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\') {
        spellings.emplace_back(rest);
    } else if (rest.starts_with(L"UNC\\")) {
        spellings.push_back(L"\\\\" + std::wstring(rest.substr(4)));
    }
    spellings.push_back(L"\\\\?\\" + std::wstring(rest));
    return spellings;
}

bool madeLink(const std::wstring& at, const std::wstring& target) {
    // Without the privilege to make links, Windows 10 in developer mode
    // still lets one be made when asked so; older systems refuse the flag.
    if (CreateSymbolicLinkW(at.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) return true;
    return GetLastError() == ERROR_INVALID_PARAMETER && CreateSymbolicLinkW(at.c_str(), target.c_str(), 0);
}

// Opens the link made at `at`, as itself and shared for reading only: no
// one renames or removes it while it is made ready.
Handle openMade(const std::wstring& at) {
    return Handle(CreateFileW(at.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

void removeMade(Handle& made) {
    markForDeletion(made.get(), true);
    made.close();
}

// A new link with `target`'s name under a fresh hidden name beside `to`,
// open in `made`; false with the reason left for GetLastError (never
// ERROR_ALREADY_EXISTS, which would speak of `to`).
bool makeHidden(const LinkTarget& target, const std::u16string& to, Handle& made) {
    DWORD why = ERROR_NOT_SUPPORTED;
    for (const std::wstring& spelling : spellingsOf(target)) {
        // A name left by an earlier process of the same number is passed by.
        for (int attempt = 0; attempt < 4; ++attempt) {
            const std::wstring hidden = filePath(temporaryNameBeside(to));
            if (!madeLink(hidden, spelling)) {
                why = GetLastError();
                if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) {
                    why = ERROR_CANNOT_MAKE;
                    continue;
                }
                SetLastError(why);
                return false;
            }
            // Asked again what was made: a call that claims a link it did
            // not make (Wine's), or a spelling tidied into another target,
            // makes none that serves. Only a link is removed again: whatever
            // else has the name was not made here.
            made = openMade(hidden);
            FileInfo info;
            const bool link = made.valid() && whatIs(made.get(), info) == Itself::Link;
            if (link && targetOf(made.get()) == target) return true;
            if (link) removeMade(made);
            made.close();
            why = ERROR_CANNOT_MAKE;
            break;
        }
    }
    SetLastError(why);
    return false;
}

bool isTaken(DWORD why) { return why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS; }

// What a link's move whose destination is taken comes to: AlreadyThere when
// another link with the same target has the name, else a clash.
TransferResult takenBy(HANDLE link, const FileInfo& info, const std::u16string& to) {
    const Handle there(CreateFileW(filePath(to).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileInfo found;
    if (there.valid() && whatIs(there.get(), found) == Itself::Link && !found.sameFileAs(info)) {
        const auto mine = targetOf(link), theirs = targetOf(there.get());
        if (mine && mine == theirs) return {TransferOutcome::AlreadyThere, info.facts(), found.id()};
    }
    return {TransferOutcome::Failed, info.facts(), {}, true};
}

// How a link to an absolute path keeps its target (C:\data\file as
// \??\C:\data\file, \\server\share\file as \??\UNC\server\share\file);
// nullopt for a path that is not absolute, which a link would take as
// relative to the share's folder, or a device's.
std::optional<LinkTarget> absoluteTarget(std::u16string_view path) {
    const std::wstring text = wide(path);
    LinkTarget target;
    if (text.starts_with(L"\\\\?\\")) {
        target.substitute = L"\\??\\" + text.substr(4);
    } else if (text.starts_with(L"\\\\.\\")) {
        return std::nullopt;  // a device's name
    } else if (text.starts_with(L"\\\\")) {
        target.substitute = L"\\??\\UNC\\" + text.substr(2);
    } else if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
        target.substitute = L"\\??\\" + text;
    } else {
        return std::nullopt;
    }
    return target;
}

// What the name `from` leads to, as what is linked to: a regular file,
// followed through a link (a link in the import folder stands for its
// file), with its facts in `info`. Opened only to be looked at, so that it
// takes nothing from anyone who has it open.
Handle openLinked(const std::u16string& from, FileInfo& info) {
    Handle file(CreateFileW(filePath(from).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.valid() && !isRegular(file.get(), info, false)) return Handle();
    return file;
}

// The name `at` opened as itself, to be looked at.
Handle openItself(const std::u16string& at) {
    return Handle(CreateFileW(filePath(at).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// Whether `at` is a regular file (not a link) that is the very file `file`.
bool isTheFile(const std::u16string& at, const FileInfo& file, Handle& there) {
    there = openItself(at);
    FileInfo found;
    return there.valid() && isRegular(there.get(), found, true) && found.sameFileAs(file);
}

// The path the system gives the open file (in its \\?\ form); empty when
// it cannot tell.
std::wstring finalPathOf(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(n);
    }
}

TransferResult hardLink(const std::u16string& from, const std::u16string& to, DWORD toVolume,
                        TransferWitness* witness) {
    FileInfo source;
    const Handle file = openLinked(from, source);
    if (!file.valid()) return {};
    const TransferResult failed{TransferOutcome::Failed, source.facts(), {}};
    TransferResult otherVolume = failed;
    otherVolume.trouble = TransferResult::Trouble::OtherVolume;
    if (source.info.dwVolumeSerialNumber != toVolume) return otherVolume;
    // A link in the import folder: the new name goes to the file it leads
    // to, reached by the path of the file open here (CreateHardLinkW would
    // link to the link itself).
    std::wstring existing = filePath(from);
    const DWORD named = GetFileAttributesW(existing.c_str());
    if (named == INVALID_FILE_ATTRIBUTES) return failed;
    if ((named & FILE_ATTRIBUTE_REPARSE_POINT) != 0) existing = finalPathOf(file.get());
    if (existing.empty()) return failed;
    if (witness && !witness->publishing(source.facts(), source.id())) return failed;
    Handle there;
    if (CreateHardLinkW(filePath(to).c_str(), existing.c_str(), nullptr)) {
        // The name was looked at and then linked: make sure it was that
        // file. Another one put there in between loses its new name again,
        // through the handle it was checked on.
        if (isTheFile(to, source, there)) return {TransferOutcome::Linked, source.facts(), source.id()};
        if (there.valid()) {
            const Handle removing(ReOpenFile(there.get(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             FILE_FLAG_OPEN_REPARSE_POINT));
            if (removing.valid()) markForDeletion(removing.get(), true);
        }
        return failed;
    }
    const DWORD why = GetLastError();
    if (why == ERROR_NOT_SAME_DEVICE) return otherVolume;
    if (!isTaken(why)) return failed;
    // The very file there already (a run done again) counts as linked before.
    if (isTheFile(to, source, there)) return {TransferOutcome::AlreadyThere, source.facts(), source.id()};
    TransferResult clash = failed;
    clash.clash = true;
    return clash;
}

TransferResult symbolicLink(const std::u16string& from, const std::u16string& to, TransferWitness* witness) {
    FileInfo source;
    if (!openLinked(from, source).valid()) return {};
    TransferResult failed{TransferOutcome::Failed, source.facts(), {}};
    const std::optional<LinkTarget> target = absoluteTarget(from);
    Handle hidden;
    if (!target) return failed;
    if (!makeHidden(*target, to, hidden)) {
        if (GetLastError() == ERROR_PRIVILEGE_NOT_HELD) failed.trouble = TransferResult::Trouble::NoPrivilege;
        return failed;
    }
    // Told with the new link's own facts and identity, as its undo will
    // find it; then it gets its name, never replacing.
    FileInfo made;
    if (!GetFileInformationByHandle(hidden.get(), &made.info) ||
        (witness && !witness->publishing(made.facts(), made.id()))) {
        removeMade(hidden);
        return failed;
    }
    if (renameOpen(hidden.get(), to)) return {TransferOutcome::Symlinked, made.facts(), made.id()};
    const DWORD why = GetLastError();
    removeMade(hidden);
    if (!isTaken(why)) return failed;
    // A link to that same path there already counts as made before.
    const Handle there = openItself(to);
    FileInfo found;
    if (there.valid() && whatIs(there.get(), found) == Itself::Link && targetOf(there.get()) == target)
        return {TransferOutcome::AlreadyThere, source.facts(), found.id()};
    failed.clash = true;
    return failed;
}

}  // namespace

bool remakeLink(HANDLE link, const FileInfo& info, const std::u16string& to, TransferWitness* witness, FileInfo& made) {
    const std::optional<LinkTarget> target = targetOf(link);
    Handle hidden;
    if (!target || !makeHidden(*target, to, hidden)) {
        if (!target) SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    // The link's own times, where its file system can set them; the record
    // hears what the new link really has.
    FILE_BASIC_INFO basic{};
    basic.LastAccessTime.LowPart = info.info.ftLastAccessTime.dwLowDateTime;
    basic.LastAccessTime.HighPart = static_cast<LONG>(info.info.ftLastAccessTime.dwHighDateTime);
    basic.LastWriteTime.LowPart = info.info.ftLastWriteTime.dwLowDateTime;
    basic.LastWriteTime.HighPart = static_cast<LONG>(info.info.ftLastWriteTime.dwHighDateTime);
    const bool timed = SetFileInformationByHandle(hidden.get(), FileBasicInfo, &basic, sizeof basic) ||
                       refusedFor(GetLastError()) != Refused::No;
    if (!timed || !GetFileInformationByHandle(hidden.get(), &made.info) ||
        (witness && !witness->publishing(made.facts(), made.id()))) {
        removeMade(hidden);
        SetLastError(ERROR_CANCELLED);
        return false;
    }
    if (renameOpen(hidden.get(), to)) return true;
    const DWORD why = GetLastError();
    removeMade(hidden);
    SetLastError(why);
    return false;
}

TransferResult moveLink(Handle& link, const FileInfo& info, const std::u16string& to, bool sameVolume,
                        TransferWitness* witness) {
    if (sameVolume) {
        if (witness && !witness->publishing(info.facts(), info.id())) return {};
        if (renameOpen(link.get(), to)) return {TransferOutcome::Moved, info.facts(), info.id()};
        const DWORD why = GetLastError();
        if (isTaken(why)) return takenBy(link.get(), info, to);
        if (why != ERROR_NOT_SAME_DEVICE) return {TransferOutcome::Failed, info.facts(), {}};
    }
    FileInfo made;
    if (!remakeLink(link.get(), info, to, witness, made)) {
        if (isTaken(GetLastError())) return takenBy(link.get(), info, to);
        return {TransferOutcome::Failed, info.facts(), {}};
    }
    // The link that was checked goes, through its own handle; a read-only
    // one asks not to be deleted, as any file.
    const bool removed = markForDeletion(link.get(), true) && link.close();
    return {removed ? TransferOutcome::Moved : TransferOutcome::Copied, made.facts(), made.id()};
}

}  // namespace qm::win32

namespace qm {

TransferResult Win32System::linkFile(OpenFolder& from, NativeNameView name, OpenFolder& to, LinkKind kind,
                                     TransferWitness* witness) {
    const auto& source = static_cast<win32::Win32Folder&>(from);
    auto& target = static_cast<win32::Win32Folder&>(to);
    switch (kind) {
        case LinkKind::Hard:
            return win32::hardLink(source.pathOf(name), target.pathOf(name), target.volume(), witness);
        case LinkKind::Symbolic:
            return win32::symbolicLink(source.pathOf(name), target.pathOf(name), witness);
        case LinkKind::Clone:
            break;
    }
    return win32::copyInto(source.pathOf(name), target, name, witness, true);
}

}  // namespace qm
