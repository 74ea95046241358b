#include "engine/undo.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/folder_locks.h"
#include "engine/share_folders.h"
#include "engine/take_back.h"
#include "engine/undo_verdict.h"
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


// A row in three steps: what is there (find), what that means (decide, a
// pure function of the findings), and doing it (act), where the platform
// checks again on the very file it acts on.
class RowUndo {
public:
    RowUndo(System& system, OpenFolder* source, OpenShares& shares) : system_(system), source_(source), shares_(shares) {}

    Verdict operator()(const RecordRow& row) {
        const NativeName name = text::nativeName(row.name);
        OpenShares::Share* share = nullptr;
        Verdict verdict = decide(row, find(row, name, share));
        if (verdict == Verdict::Restore) {
            // A killed undo moves a file aside under a hidden name before it
            // removes it, and a killed run may leave a whole file under one:
            // known by its identity, it gets its name back first.
            const auto hidden = shares_.hiddenHolding(*share, row.stamp);
            verdict = hidden && system_.renameIn(*share->folder, *hidden, name) ? decide(row, find(row, name, share))
                                                                                : Verdict::Failed;
            if (verdict == Verdict::Restore) verdict = Verdict::Failed;
        }
        if (verdict == Verdict::TakeBack) verdict = act(*share->folder, name, row);
        return verdict;
    }

private:
    RowFindings find(const RecordRow& row, NativeNameView name, OpenShares::Share*& share) {
        RowFindings found;
        found.importOpen = source_ != nullptr;
        if (!source_) return found;
        share = &shares_.get(row.share);
        if (!share->folder) {
            found.share = RowFindings::Share::Missing;
        } else if (share->busy) {
            found.share = RowFindings::Share::Busy;
            return found;
        } else {
            found.inShare = system_.stampOf(*share->folder, name);
            if (found.inShare) return found;
            found.hidden = shares_.hiddenHolding(*share, row.stamp).has_value();
            if (found.hidden) return found;
        }
        found.atSource = system_.stampOf(*source_, name);
        return found;
    }

    Verdict act(OpenFolder& share, NativeNameView name, const RecordRow& row) {
        const bool moved = row.outcome == TransferOutcome::Moved;
        if (!moved) return verdictOf(deleteCopy(system_, share, name, row.stamp, *source_), false);
        TakeBack result = moveBack(system_, share, name, *source_, row.stamp);
        // A move between file systems that was killed after its copy was
        // published but before the source went: the source is still there,
        // and the share holds a copy of it.
        if (result == TakeBack::NameTaken && deleteCopy(system_, share, name, row.stamp, *source_) == TakeBack::Done)
            result = TakeBack::Done;
        return verdictOf(result, true);
    }

    System& system_;
    OpenFolder* source_;
    OpenShares& shares_;
};

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

UndoReport checkRecord(System& system, InputFile& record, const std::atomic<int>* stop) {
    UndoReport report;
    RecordReader reader(record, system.pathStyle().separator);
    RecordRow row;
    if (reader.readHeader(report.header, report.error)) {
        while (reader.next(row, report.error)) {
            ++report.rows;
            if (row.outcome == TransferOutcome::Moved || row.outcome == TransferOutcome::Copied) ++report.toTakeBack;
            if (stopping(stop)) {
                report.stopped = true;
                return report;
            }
        }
    }
    if (!report.error.empty()) {
        report.refused = UndoReport::Refused::Invalid;
        return report;
    }
    report.interruptedRun = reader.ending() != RecordReader::Ending::Complete;
    return report;
}

UndoReport undoRun(System& system, const UndoRequest& request) {
    const char16_t separator = system.pathStyle().separator;
    UndoReport report = checkRecord(system, request.record, request.stop);
    if (report.refused != UndoReport::Refused::No || report.stopped || !report.header.begun) return report;

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
        const Verdict verdict = undoRow(row);
        switch (endOf(verdict)) {
            case RowEnd::TakenBack:
                ++report.takenBack;
                break;
            case RowEnd::AlreadyBack:
                ++report.alreadyBack;
                break;
            case RowEnd::Nothing:
                break;
            case RowEnd::Left:
                ++report.left;
                if (request.problem) request.problem({row.destination, reasonOf(verdict, row.outcome == TransferOutcome::Moved)});
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
