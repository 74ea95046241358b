#include "engine/undo.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/folder_locks.h"
#include "engine/share_folders.h"
#include "text/utf.h"

namespace qm {

namespace {

bool stopping(const std::atomic<int>* stop) { return stop && stop->load(std::memory_order_relaxed) != 0; }

constexpr std::string_view kHiddenPrefix = ".quillmarsh-";

// The share folders of the rows in hand: rows come share by share, those of
// two neighbouring shares mixed where two threads copied, so a few stay open.
// Each is held exclusively while it is open.
class OpenShares {
public:
    OpenShares(System& system, FolderLocks& locks, OpenFolder* parent, std::u16string rootName)
        : system_(system), locks_(locks), parent_(parent), rootName_(std::move(rootName)) {}
    ~OpenShares() { closeAll(); }

    struct Share {
        std::uint64_t number;
        std::unique_ptr<OpenFolder> folder;
        bool busy = false;  // another run or undo holds it
        // Files under hidden names in it, once looked for.
        std::optional<std::vector<std::pair<NativeName, FileStamp>>> hidden;
    };

    Share& get(std::uint64_t share) {
        for (Share& open : open_) {
            if (open.number == share) return open;
        }
        if (open_.size() == kKept) {
            if (open_.front().folder && !open_.front().busy) locks_.release(*open_.front().folder);
            open_.erase(open_.begin());
        }
        Share opened{share, nullptr, false, std::nullopt};
        if (parent_) opened.folder = system_.openFolderBelow(*parent_, name(share), false);
        if (opened.folder && !locks_.take(*opened.folder, true)) opened.busy = true;
        open_.push_back(std::move(opened));
        return open_.back();
    }
    // The hidden name in the share that holds the file `stamp`, if any.
    std::optional<NativeName> hiddenHolding(Share& share, const FileStamp& stamp) {
        if (!share.hidden) {
            share.hidden.emplace();
            system_.forEachEntry(*share.folder, [&](NativeNameView entry, EntryKind kind) {
                if ((kind == EntryKind::File || kind == EntryKind::Link) && text::nameText(entry).starts_with(
                                                                                 text::fromUtf8(kHiddenPrefix))) {
                    if (const auto found = system_.stampOf(*share.folder, entry))
                        share.hidden->emplace_back(NativeName(entry), *found);
                }
                return true;
            });
        }
        for (const auto& [name, found] : *share.hidden) {
            if (found == stamp) return name;
        }
        return std::nullopt;
    }
    void closeAll() {
        for (Share& open : open_) {
            if (open.folder && !open.busy) locks_.release(*open.folder);
        }
        open_.clear();
    }
    std::u16string name(std::uint64_t share) const { return rootName_ + text::decimal(share); }

private:
    static constexpr std::size_t kKept = 4;
    System& system_;
    FolderLocks& locks_;
    OpenFolder* parent_;
    std::u16string rootName_;
    std::vector<Share> open_;
};

// Why a file stays, or empty when there is nothing to say (it was taken
// back, or there was nothing of the run's to take back).
std::u16string reasonOf(TakeBack result, bool move) {
    switch (result) {
        case TakeBack::Done:
        case TakeBack::Gone:
            return {};
        case TakeBack::Changed:
            return move ? u"文件在分发之后被改动或替换过" : u"副本在分发之后被改动或替换过";
        case TakeBack::NameTaken:
            return u"原位置已有同名的文件";
        case TakeBack::SourceGone:
            return u"原文件已不在，无法核对副本";
        case TakeBack::SameFile:
            return u"原文件就是这个副本本身，不能删除";
        case TakeBack::Differs:
            return u"副本的内容与原文件不同";
        case TakeBack::CopiedBack:
            return u"已复制回原位置，但无法从分发文件夹删除";
        case TakeBack::Failed:
            break;
    }
    return move ? u"无法移回原位置" : u"无法删除副本";
}

// The first pass: every line checked, nothing touched.
bool check(System& system, const UndoRequest& request, UndoReport& report) {
    RecordReader reader(request.record, system.pathStyle().separator);
    if (!reader.readHeader(report.header, report.error)) return false;
    RecordRow row;
    while (reader.next(row, report.error)) {
        ++report.rows;
        if (row.outcome == TransferOutcome::Moved || row.outcome == TransferOutcome::Copied) ++report.toTakeBack;
        if (stopping(request.stop)) {
            report.stopped = true;
            return true;
        }
    }
    if (!report.error.empty()) return false;
    report.interruptedRun = reader.ending() != RecordReader::Ending::Complete;
    return true;
}

// One row taken back, as far as it can be.
enum class Result { TakenBack, AlreadyBack, Nothing, Left };

class RowUndo {
public:
    RowUndo(System& system, OpenFolder* source, OpenShares& shares) : system_(system), source_(source), shares_(shares) {}

    Result operator()(const RecordRow& row, std::u16string& reason) {
        const bool moved = row.outcome == TransferOutcome::Moved;
        const NativeName name = text::nativeName(row.name);
        if (!source_) {
            reason = u"导入目录无法打开";
            return Result::Left;
        }
        OpenShares::Share& share = shares_.get(row.share);
        if (!share.folder) {
            // The share folder is gone (a first undo removed it): what is
            // back at its source was taken back before.
            if (backAtSource(row, name)) return Result::AlreadyBack;
            if (!moved) return Result::Nothing;
            reason = u"分发文件夹已不在，或已被换成链接，未进入";
            return Result::Left;
        }
        if (share.busy) {
            reason = u"另一次分发或撤销正在使用这个分发文件夹";
            return Result::Left;
        }
        TakeBack result = takeBack(*share.folder, name, row);
        if (result == TakeBack::Gone) {
            // A killed undo moves a file aside under a hidden name before it
            // removes it, and a killed run may leave a whole file under one:
            // known by its identity, it gets its name back and is taken back.
            if (const auto hidden = shares_.hiddenHolding(share, row.stamp);
                hidden && system_.renameIn(*share.folder, *hidden, name))
                result = takeBack(*share.folder, name, row);
        }
        if (result == TakeBack::Done) return Result::TakenBack;
        if (result == TakeBack::Gone) {
            if (backAtSource(row, name)) return Result::AlreadyBack;
            if (!moved) return Result::Nothing;
            reason = u"分发文件夹中已没有这个文件";
            return Result::Left;
        }
        reason = reasonOf(result, moved);
        return Result::Left;
    }

private:
    TakeBack takeBack(OpenFolder& share, NativeNameView name, const RecordRow& row) {
        if (row.outcome != TransferOutcome::Moved) return system_.deleteCopy(share, name, row.stamp, *source_);
        const TakeBack result = system_.moveBack(share, name, *source_, row.stamp);
        // A move between file systems that was killed after its copy was
        // published but before the source went: the source is still there,
        // and the share holds a copy of it.
        if (result == TakeBack::NameTaken && system_.deleteCopy(share, name, row.stamp, *source_) == TakeBack::Done)
            return TakeBack::Done;
        return result;
    }
    // Whether nothing of the row is left to take back: a moved file is at
    // its source again (the very file), a copy's source is there.
    bool backAtSource(const RecordRow& row, NativeNameView name) {
        const std::optional<FileStamp> there = system_.stampOf(*source_, name);
        // A file moved back across file systems is a copy with the same
        // size and time.
        if (row.outcome == TransferOutcome::Moved)
            return there && (there->id == row.stamp.id || there->facts == row.stamp.facts);
        return there.has_value();
    }

    System& system_;
    OpenFolder* source_;
    OpenShares& shares_;
};

// The share folders of the run that are empty now, and the folders it made
// on the way to them, go; one that holds anything stays. The folders are
// found by looking, not by counting up to the number the record claims.
// The run's share folder number in a folder's name (the root, then k
// written as the run writes it); 0 when it is none.
std::uint64_t shareNumber(std::u16string_view name, std::u16string_view root) {
    if (!name.starts_with(root) || name.size() == root.size() || name[root.size()] == u'0') return 0;
    std::uint64_t k = 0;
    for (const char16_t c : name.substr(root.size())) {
        if (c < u'0' || c > u'9' || k > (UINT64_MAX - 9) / 10) return 0;
        k = k * 10 + static_cast<std::uint64_t>(c - u'0');
    }
    return k;
}

// The share folders of the run that are empty now, and the folders it made
// on the way to them, go; one that holds anything stays. The folders are
// found by looking, not by counting up to the number the record claims.
void removeEmptyFolders(System& system, const RecordHeader& header, const ShareLayout& layout, OpenFolder* parent,
                        const std::atomic<int>* stop) {
    std::vector<NativeName> shares;
    if (parent) {
        system.forEachEntry(*parent, [&](NativeNameView entry, EntryKind kind) {
            const std::uint64_t k = kind == EntryKind::Folder ? shareNumber(text::nameText(entry), layout.rootName) : 0;
            if (k >= 1 && k <= header.folders) shares.emplace_back(entry);
            return !stopping(stop);
        });
    }
    for (const NativeName& share : shares) {
        if (stopping(stop)) return;
        system.removeFolderBelow(*parent, share);
    }
    // Innermost first; each only once empty.
    const char16_t separator = system.pathStyle().separator;
    const std::unique_ptr<OpenFolder> target = header.made.empty() ? nullptr : system.openFolder(layout.target);
    for (auto made = header.made.rbegin(); target && made != header.made.rend(); ++made) {
        const std::size_t cut = made->rfind(separator);
        if (cut == std::u16string::npos) continue;
        const std::size_t from = std::min(cut, layout.target.size());  // a root target keeps its separator
        const std::u16string_view above = std::u16string_view(*made).substr(from, cut - from);
        if (const std::unique_ptr<OpenFolder> folder = system.openFolderBelow(*target, above, false))
            system.removeFolderBelow(*folder, text::nativeName(made->substr(cut + 1)));
    }
}

}  // namespace

UndoReport undoRun(System& system, const UndoRequest& request) {
    UndoReport report;
    const char16_t separator = system.pathStyle().separator;
    if (!check(system, request, report)) {
        report.refused = UndoReport::Refused::Invalid;
        return report;
    }
    if (report.stopped || !report.header.begun) return report;

    const RecordHeader& header = report.header;
    const std::optional<ShareLayout> layout = shareLayout(header.targetFolder, header.shareRoot, separator);
    if (!layout) {
        report.refused = UndoReport::Refused::Invalid;
        report.error = "shares 一行不是 export 之中的分发文件夹";
        return report;
    }
    FolderLocks locks(system);
    const std::unique_ptr<OpenFolder> parent = openShareParent(system, *layout, false);
    const std::unique_ptr<OpenFolder> source = system.openFolder(header.importFolder);
    if ((parent && !locks.take(*parent, true)) || (source && !locks.take(*source, true))) {
        report.refused = UndoReport::Refused::Busy;
        report.error = "另一次分发或撤销正在使用这些文件夹";
        return report;
    }
    if (request.checked) request.checked(report);

    if (!request.record.rewind()) {
        report.refused = UndoReport::Refused::Unreadable;
        report.error = "读取失败";
        return report;
    }
    RecordReader reader(request.record, separator);
    RecordHeader again;
    std::string error;
    reader.readHeader(again, error);
    OpenShares shares(system, locks, parent.get(), layout->rootName);
    RowUndo undoRow(system, source.get(), shares);
    RecordRow row;
    std::uint64_t done = 0;
    while (error.empty() && reader.next(row, error)) {
        if (stopping(request.stop)) {
            report.stopped = true;
            break;
        }
        if (row.outcome != TransferOutcome::Moved && row.outcome != TransferOutcome::Copied) continue;
        if (request.progress) request.progress(done++, report.toTakeBack);
        std::u16string reason;
        switch (undoRow(row, reason)) {
            case Result::TakenBack:
                ++report.takenBack;
                break;
            case Result::AlreadyBack:
                ++report.alreadyBack;
                break;
            case Result::Nothing:
                break;
            case Result::Left:
                ++report.left;
                if (request.problem) request.problem({row.destination, reason});
                break;
        }
    }
    // The record changed between the two readings: what was read up to
    // there was taken back, the rest stays.
    if (!error.empty()) report.error = error;
    shares.closeAll();
    if (!report.stopped) removeEmptyFolders(system, header, *layout, parent.get(), request.stop);
    return report;
}

}  // namespace qm
