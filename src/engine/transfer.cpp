#include "engine/transfer.h"

#include <atomic>
#include <condition_variable>
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
    Work(Platform& platform, const TransferJob& job, OpenFolder* source)
        : platform_(platform), job_(job), source_(source), shares_(platform, job.plan.shareRoot),
          results_(job.plan.rows.size()), done_(job.plan.rows.size()) {
        for (auto& d : done_) d.store(false, std::memory_order_relaxed);
    }

    ShareFolders& shares() { return shares_; }

    // Starts the next file that no thread has taken; false when none is left.
    bool doOne() {
        const std::uint64_t i = next_.fetch_add(1, std::memory_order_relaxed);
        if (i >= results_.size()) return false;
        const RunRow& row = job_.plan.rows[i];
        OpenFolder* share = shares_.folder(row.share);
        const NativeNameView name = job_.files.names().name(row.name);
        if (source_ && share)
            results_[i] = job_.plan.move ? platform_.moveFile(*source_, name, *share)
                                         : platform_.copyFile(*source_, name, *share);
        {
            // Under the lock, so that a thread about to wait cannot miss it.
            std::lock_guard lock(mutex_);
            done_[i].store(true, std::memory_order_release);
        }
        finished_.notify_all();
        return true;
    }
    // The result of row i, once some thread has done it; the calling thread
    // lends a hand while it waits.
    const TransferResult& result(std::uint64_t i) {
        while (!done_[i].load(std::memory_order_acquire)) {
            if (doOne()) continue;
            std::unique_lock lock(mutex_);
            finished_.wait(lock, [&] { return done_[i].load(std::memory_order_acquire); });
        }
        return results_[i];
    }

private:
    Platform& platform_;
    const TransferJob& job_;
    OpenFolder* source_;
    ShareFolders shares_;
    std::atomic<std::uint64_t> next_{0};
    std::vector<TransferResult> results_;  // each written by one thread, read after done_
    std::vector<std::atomic<bool>> done_;
    std::mutex mutex_;
    std::condition_variable finished_;
};

}  // namespace

TransferTally transferAll(Platform& platform, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile,
                          const std::function<void(const RunRow&, const TransferResult&)>& afterFile) {
    const char16_t separator = platform.pathStyle().separator;
    const std::unique_ptr<OpenFolder> source = platform.openFolder(job.files.path());
    const std::vector<RunRow>& rows = job.plan.rows;
    Work work(platform, job, source.get());

    // A copy run has a second thread copying alongside the run's own. The
    // run's thread accounts for the files strictly in the run's order (the
    // title's progress, the counts, the log's lines), doing files itself
    // whenever the next one to account for is not done yet; so everything it
    // reports is what one thread would report. Moves are renames, which the
    // folders' locks would only queue up again: they keep one thread.
    std::thread helper;
    if (!job.plan.move && rows.size() > 1) helper = std::thread([&work] {
        while (work.doOne()) {
        }
    });

    TransferTally tally;
    for (std::uint64_t i = 0; i < rows.size(); ++i) {
        beforeFile(i);
        const TransferResult& result = work.result(i);
        const RunRow& row = rows[i];
        if (result.outcome == TransferOutcome::Failed) {
            ++tally.failed;
            const std::u16string name = text::nameText(job.files.names().name(row.name));
            log.add(job.files.path() + separator + name, work.shares().path(row.share) + separator + name);
        } else {
            if (job.plan.move && result.outcome != TransferOutcome::Moved) ++tally.copiedOnly;
            if (row.companion) ++tally.companions;
        }
        afterFile(row, result);
        if (i + 1 == rows.size() || rows[i + 1].share != row.share) work.shares().close(row.share);
        platform.keepResponsive();
    }
    if (helper.joinable()) helper.join();
    return tally;
}

}  // namespace qm
