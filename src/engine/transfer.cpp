#include "engine/transfer.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "text/utf.h"
#include "window/controls.h"

namespace qm {

void makeShareFolders(Platform& platform, const std::u16string& shareRoot, std::uint64_t count) {
    const char16_t separator = platform.pathStyle().separator;
    for (std::uint64_t k = 1; k <= count; ++k) {
        std::u16string folder = shareRoot + text::decimal(k);
        if (!platform.pathExists(folder)) platform.makeFolders(folder + separator);
    }
}

namespace {

// The share folders of a run, each opened once for all of its files, by
// whichever thread first needs it; a share's folder is closed once all its
// files are accounted for. A folder that cannot be opened fails each of its
// files like any other failed transfer.
class ShareFolders {
public:
    ShareFolders(Platform& platform, const std::u16string& shareRoot) : platform_(platform), root_(shareRoot) {}

    OpenFolder* folder(std::uint64_t share) {
        std::lock_guard lock(mutex_);
        auto it = open_.find(share);
        if (it == open_.end()) it = open_.emplace(share, platform_.openFolder(path(share))).first;
        return it->second.get();
    }
    void close(std::uint64_t share) {
        std::lock_guard lock(mutex_);
        open_.erase(share);
    }
    std::u16string path(std::uint64_t share) const { return root_ + text::decimal(share); }

private:
    Platform& platform_;
    const std::u16string& root_;
    std::mutex mutex_;
    std::map<std::uint64_t, std::unique_ptr<OpenFolder>> open_;  // a few at a time
};

// What is still to be done in a run: the next file to start, shared by the
// threads that transfer, and each file's outcome once it is known.
class Work {
public:
    static constexpr std::uint8_t kPending = 0xFF;

    Work(Platform& platform, const TransferJob& job, OpenFolder* source)
        : platform_(platform), job_(job), source_(source), shares_(platform, job.shareRoot),
          outcomes_(job.order.size()) {
        for (auto& o : outcomes_) o.store(kPending, std::memory_order_relaxed);
    }

    ShareFolders& shares() { return shares_; }

    // Starts the next file that no thread has taken; false when none is left.
    bool doOne() {
        const std::uint64_t i = next_.fetch_add(1, std::memory_order_relaxed);
        if (i >= outcomes_.size()) return false;
        OpenFolder* share = shares_.folder(shareOf(i, job_.shares));
        const NativeNameView name = job_.files.nativeEntry(job_.order[i].entry);
        TransferOutcome outcome = TransferOutcome::Failed;
        if (source_ && share)
            outcome = job_.move ? platform_.moveFile(*source_, name, *share) : platform_.copyFile(*source_, name, *share);
        outcomes_[i].store(static_cast<std::uint8_t>(outcome), std::memory_order_release);
        outcomes_[i].notify_one();
        return true;
    }
    // The outcome of file i, once some thread has done it; the calling
    // thread lends a hand while it waits.
    TransferOutcome outcome(std::uint64_t i) {
        std::uint8_t o;
        while ((o = outcomes_[i].load(std::memory_order_acquire)) == kPending) {
            if (!doOne()) outcomes_[i].wait(kPending, std::memory_order_acquire);
        }
        return static_cast<TransferOutcome>(o);
    }

private:
    Platform& platform_;
    const TransferJob& job_;
    OpenFolder* source_;
    ShareFolders shares_;
    std::atomic<std::uint64_t> next_{0};
    std::vector<std::atomic<std::uint8_t>> outcomes_;
};

}  // namespace

TransferTally transferAll(Platform& platform, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile) {
    const char16_t separator = platform.pathStyle().separator;
    const std::unique_ptr<OpenFolder> source = platform.openFolder(job.files.path());
    const std::uint64_t files = job.order.size();
    if (files == 0) return {};
    job.files.nativeEntry(0);  // puts the list in order before a second thread reads it
    Work work(platform, job, source.get());

    // A copy run has a second thread copying alongside the run's own. The
    // run's thread accounts for the files strictly in the run's order (the
    // title's progress, the counts, the log's lines), doing files itself
    // whenever the next one to account for is not done yet; so everything it
    // reports is what one thread would report. Moves are renames, which the
    // folders' locks would only queue up again: they keep one thread.
    std::thread helper;
    if (!job.move && files > 1) helper = std::thread([&work] {
        while (work.doOne()) {
        }
    });

    TransferTally tally;
    for (std::uint64_t i = 0; i < files; ++i) {
        beforeFile(i);
        const TransferOutcome outcome = work.outcome(i);
        const std::uint64_t share = shareOf(i, job.shares);
        if (outcome == TransferOutcome::Failed) {
            ++tally.failed;
            const std::u16string name = text::nameText(job.files.nativeEntry(job.order[i].entry));
            log.add(job.files.path() + separator + name, work.shares().path(share) + separator + name);
        } else if (job.move && outcome != TransferOutcome::Moved) {
            ++tally.copiedOnly;
        }
        if (i + 1 == files || shareOf(i + 1, job.shares) != share) work.shares().close(share);
        platform.keepResponsive();
    }
    if (helper.joinable()) helper.join();
    return tally;
}

}  // namespace qm
