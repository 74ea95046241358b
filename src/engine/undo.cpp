#include "engine/undo.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/share_folders.h"
#include "text/utf.h"

namespace qm {

namespace {

bool stopping(const std::atomic<int>* stop) { return stop && stop->load(std::memory_order_relaxed) != 0; }

// The share folders of the rows in hand: rows come share by share, those of
// two neighbouring shares mixed where two threads copied, so a few stay open.
class OpenShares {
public:
    OpenShares(System& system, OpenFolder* parent, std::u16string rootName)
        : system_(system), parent_(parent), rootName_(std::move(rootName)) {}

    OpenFolder* get(std::uint64_t share) {
        for (auto& [number, folder] : open_) {
            if (number == share) return folder.get();
        }
        if (open_.size() == kKept) open_.erase(open_.begin());
        std::unique_ptr<OpenFolder> folder;
        if (parent_) folder = system_.openFolderBelow(*parent_, name(share), false);
        open_.emplace_back(share, std::move(folder));
        return open_.back().second.get();
    }
    void closeAll() { open_.clear(); }
    std::u16string name(std::uint64_t share) const { return rootName_ + text::decimal(share); }

private:
    static constexpr std::size_t kKept = 4;
    System& system_;
    OpenFolder* parent_;
    std::u16string rootName_;
    std::vector<std::pair<std::uint64_t, std::unique_ptr<OpenFolder>>> open_;
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
    const std::unique_ptr<OpenFolder> parent = openShareParent(system, *layout, false);
    std::unique_ptr<FolderLock> lock;
    if (parent && !(lock = system.lockFolder(*parent, true))) {
        report.refused = UndoReport::Refused::Busy;
        report.error = "另一次分发或撤销正在使用这些分发文件夹";
        return report;
    }
    const std::unique_ptr<OpenFolder> source = system.openFolder(header.importFolder);
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
    OpenShares shares(system, parent.get(), layout->rootName);
    RecordRow row;
    std::uint64_t done = 0;
    while (error.empty() && reader.next(row, error)) {
        if (stopping(request.stop)) {
            report.stopped = true;
            break;
        }
        const bool moved = row.outcome == TransferOutcome::Moved;
        if (!moved && row.outcome != TransferOutcome::Copied) continue;  // nothing of the run's is there
        if (request.progress) request.progress(done++, report.toTakeBack);
        const NativeName name = text::nativeName(row.name);
        OpenFolder* share = shares.get(row.share);
        std::u16string reason;
        if (!source) {
            reason = u"导入目录无法打开";
        } else if (!share) {
            reason = u"分发文件夹已不在，或已被换成链接，未进入";
        } else {
            TakeBack result = moved ? system.moveBack(*share, name, *source, row.stamp)
                                    : system.deleteCopy(*share, name, row.stamp, *source);
            // A move between file systems that was killed after its copy was
            // published but before the source went: the source is still
            // there, and the share holds a copy of it.
            if (moved && result == TakeBack::NameTaken &&
                system.deleteCopy(*share, name, row.stamp, *source) == TakeBack::Done)
                result = TakeBack::Done;
            if (result == TakeBack::Done) {
                ++report.takenBack;
                continue;
            }
            reason = reasonOf(result, moved);
        }
        // A moved file that is back at its source (the run was killed before
        // it moved, or it was moved back by hand) leaves nothing to do.
        if (moved && source && (reason.empty() || !share)) {
            const std::optional<FileStamp> there = system.stampOf(*source, name);
            if (there && there->id == row.stamp.id) continue;
            if (reason.empty()) reason = u"分发文件夹中已没有这个文件";
        }
        if (reason.empty()) continue;
        ++report.left;
        if (request.problem) request.problem({row.destination, reason});
    }
    // The record changed between the two readings: what was read up to
    // there was taken back, the rest stays.
    if (!error.empty()) report.error = error;
    // Every share folder the run made that is empty now goes, those the run
    // was stopped before reaching included; one that holds anything stays.
    shares.closeAll();
    for (std::uint64_t k = 1; parent && !report.stopped && k <= header.folders; ++k)
        system.removeFolderBelow(*parent, text::nativeName(shares.name(k)));
    return report;
}

}  // namespace qm
