#include "engine/undo_verdict.h"

namespace qm {

namespace {

// Nothing of the row is left to take back when a moved file is at its
// source again (the very file, or, moved back across file systems, a copy
// with the same size and time), or a copy's source is there.
bool backAtSource(const RecordRow& row, const RowFindings& found) {
    if (!found.atSource) return false;
    if (row.outcome != TransferOutcome::Moved) return true;
    return found.atSource->id == row.stamp.id || found.atSource->facts == row.stamp.facts;
}

struct Told {
    Verdict verdict;
    RowEnd end;
    const char16_t* moved;   // why a moved file stays
    const char16_t* copied;  // why a copy stays
};

constexpr Told kTold[] = {
    {Verdict::TakeBack, RowEnd::TakenBack, nullptr, nullptr},
    {Verdict::Restore, RowEnd::TakenBack, nullptr, nullptr},
    {Verdict::AlreadyBack, RowEnd::AlreadyBack, nullptr, nullptr},
    {Verdict::NothingThere, RowEnd::Nothing, nullptr, nullptr},
    {Verdict::Gone, RowEnd::Left, u"分发文件夹中已没有这个文件", u"分发文件夹中已没有这个文件"},
    {Verdict::Changed, RowEnd::Left, u"文件在分发之后被改动或替换过", u"副本在分发之后被改动或替换过"},
    {Verdict::ShareMissing, RowEnd::Left, u"分发文件夹已不在，或已被换成链接，未进入",
     u"分发文件夹已不在，或已被换成链接，未进入"},
    {Verdict::ShareBusy, RowEnd::Left, u"另一次分发或撤销正在使用这个分发文件夹",
     u"另一次分发或撤销正在使用这个分发文件夹"},
    {Verdict::ImportMissing, RowEnd::Left, u"导入目录无法打开", u"导入目录无法打开"},
    {Verdict::SourceFolderGone, RowEnd::Left, u"原文件所在的文件夹已不在", u"原文件所在的文件夹已不在"},
    {Verdict::NameTaken, RowEnd::Left, u"原位置已有同名的文件", u"原位置已有同名的文件"},
    {Verdict::SourceGone, RowEnd::Left, u"原文件已不在，无法核对副本", u"原文件已不在，无法核对副本"},
    {Verdict::SameFile, RowEnd::Left, u"原文件就是这个副本本身，不能删除", u"原文件就是这个副本本身，不能删除"},
    {Verdict::Differs, RowEnd::Left, u"副本的内容与原文件不同", u"副本的内容与原文件不同"},
    {Verdict::CopiedBack, RowEnd::Left, u"已复制回原位置，但无法从分发文件夹删除",
     u"已复制回原位置，但无法从分发文件夹删除"},
    {Verdict::Unlinked, RowEnd::Left, u"原文件已换成另一个文件，这个硬链接是剩下的唯一一份",
     u"原文件已换成另一个文件，这个硬链接是剩下的唯一一份"},
    {Verdict::Failed, RowEnd::Left, u"无法移回原位置", u"无法删除副本"},
};

const Told& told(Verdict verdict) {
    for (const Told& t : kTold) {
        if (t.verdict == verdict) return t;
    }
    return kTold[sizeof kTold / sizeof kTold[0] - 1];
}

}  // namespace

Verdict decide(const RecordRow& row, const RowFindings& found) {
    const bool moved = row.outcome == TransferOutcome::Moved;
    // A listed file was never anywhere but in its share's list.
    if (row.outcome == TransferOutcome::Listed) return Verdict::NothingThere;
    if (!found.importOpen) return Verdict::ImportMissing;
    if (found.share == RowFindings::Share::Busy) return Verdict::ShareBusy;
    // A copy's source being there says nothing of a copy behind a link; a
    // moved file back at its source by its identity is back all the same.
    if (found.share == RowFindings::Share::Replaced)
        return moved && backAtSource(row, found) ? Verdict::AlreadyBack : Verdict::ShareMissing;
    if (found.share == RowFindings::Share::Missing) {
        // Most often a first undo removed it: what is back was taken back then.
        if (backAtSource(row, found)) return Verdict::AlreadyBack;
        return moved ? Verdict::ShareMissing : Verdict::NothingThere;
    }
    // The very file (a moved link is the link itself): its identity, size and time.
    if (found.inShare) return *found.inShare == row.stamp ? Verdict::TakeBack : Verdict::Changed;
    if (found.hidden) return Verdict::Restore;
    if (backAtSource(row, found)) return Verdict::AlreadyBack;
    return moved ? Verdict::Gone : Verdict::NothingThere;
}

Verdict verdictOf(TakeBack result, bool move) {
    switch (result) {
        case TakeBack::Done: return Verdict::TakeBack;
        case TakeBack::Gone: return move ? Verdict::Gone : Verdict::NothingThere;
        case TakeBack::Changed: return Verdict::Changed;
        case TakeBack::NameTaken: return Verdict::NameTaken;
        case TakeBack::SourceGone: return Verdict::SourceGone;
        case TakeBack::SameFile: return Verdict::SameFile;
        case TakeBack::Differs: return Verdict::Differs;
        case TakeBack::CopiedBack: return Verdict::CopiedBack;
        case TakeBack::Unlinked: return Verdict::Unlinked;
        case TakeBack::Failed: break;
    }
    return Verdict::Failed;
}

RowEnd endOf(Verdict verdict) { return told(verdict).end; }

std::u16string reasonOf(Verdict verdict, bool move) {
    const Told& t = told(verdict);
    const char16_t* text = move ? t.moved : t.copied;
    return text ? text : u"";
}

}  // namespace qm
