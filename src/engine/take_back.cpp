#include "engine/take_back.h"

namespace qm {

namespace {

using Status = HeldResult::Status;

// What holding the share's file says before anything is compared.
TakeBack notHeld(Status status) {
    switch (status) {
        case Status::Gone:
            return TakeBack::Gone;
        case Status::Other:
            return TakeBack::Changed;
        case Status::Held:
        case Status::InUse:
        case Status::Failed:
            break;
    }
    return TakeBack::Failed;
}

}  // namespace

TakeBack moveBack(System& system, OpenFolder& share, NativeNameView name, OpenFolder& source,
                  const FileStamp& expected) {
    const HeldResult held = system.holdFile(share, name, false);
    if (!held.file) return notHeld(held.status);
    HeldFile& file = *held.file;
    if ((file.kind() != EntryKind::File && file.kind() != EntryKind::Link) || file.stamp() != expected)
        return TakeBack::Changed;
    switch (file.moveTo(source, name)) {
        case HeldFile::Moved::Done:
            return TakeBack::Done;
        case HeldFile::Moved::Taken:
            return TakeBack::NameTaken;
        case HeldFile::Moved::Changed:
            return TakeBack::Changed;
        case HeldFile::Moved::Failed:
            return TakeBack::Failed;
        case HeldFile::Moved::OtherVolume:
            break;
    }
    // Another file system: a copy goes back from the file held, and the
    // share's file goes only while it is still that file.
    switch (file.copyTo(source, name)) {
        case HeldFile::Moved::Done:
            return file.remove() == TakeBack::Done ? TakeBack::Done : TakeBack::CopiedBack;
        case HeldFile::Moved::Taken:
            return TakeBack::NameTaken;
        default:
            return TakeBack::Failed;
    }
}

TakeBack deleteCopy(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected,
                    OpenFolder& source) {
    const HeldResult copy = system.holdFile(share, name, false);
    if (!copy.file) return notHeld(copy.status);
    if (copy.file->kind() != EntryKind::File || copy.file->stamp() != expected) return TakeBack::Changed;
    // Whatever path leads from the source folder to the copy itself (a
    // linked folder, a hard link), it is not a second copy. A system that
    // cannot hold the copy a second time through another name says so.
    const HeldResult original = system.holdFile(source, name, true);
    if (original.status == Status::InUse) return TakeBack::SameFile;
    if (!original.file || original.file->kind() != EntryKind::File) return TakeBack::SourceGone;
    if (original.file->stamp().id == expected.id) return TakeBack::SameFile;
    if (original.file->stamp().facts.size != expected.facts.size) return TakeBack::Differs;
    // An empty copy has no bytes to compare: its facts and the original's
    // say everything, without opening either.
    if (expected.facts.size != 0 && !copy.file->sameBytes(*original.file)) return TakeBack::Differs;
    return copy.file->remove();
}

TakeBack removeHardLink(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected,
                        OpenFolder& source) {
    const HeldResult link = system.holdFile(share, name, false);
    if (!link.file) return notHeld(link.status);
    if (link.file->kind() != EntryKind::File || link.file->stamp() != expected) return TakeBack::Changed;
    const HeldResult original = system.holdFile(source, name, true);
    if (!original.file) return original.status == Status::Gone ? TakeBack::SourceGone : TakeBack::Failed;
    if (original.file->stamp().id != expected.id) return TakeBack::Unlinked;
    return link.file->remove();
}

TakeBack removeSymbolicLink(System& system, OpenFolder& share, NativeNameView name, const FileStamp& expected) {
    const HeldResult link = system.holdFile(share, name, false);
    if (!link.file) return notHeld(link.status);
    if (link.file->kind() != EntryKind::Link || link.file->stamp() != expected) return TakeBack::Changed;
    return link.file->remove();
}

}  // namespace qm
