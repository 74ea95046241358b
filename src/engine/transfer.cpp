#include "engine/transfer.h"

#include <condition_variable>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "text/utf.h"

namespace qm {

namespace {

// The record's word on one row, passed to the platform: its line reaches
// the record before the file appears at its destination.
class RowWitness : public TransferWitness {
public:
    RowWitness(RunRecorder& recorder, const RunRow& row) : recorder_(recorder), row_(row) {}
    bool publishing(const FileFacts& source, const FileId& appearing) override {
        return recorder_.publishing(row_, source, appearing, slot);
    }
    RecordSlot slot;

private:
    RunRecorder& recorder_;
    const RunRow& row_;
};

// What the run's thread needs of a finished row: kept in a byte per row
// while the row waits to be accounted for, so that a million rows cost a
// megabyte, not the full result's facts and identity.
struct Done {
    TransferOutcome outcome;
    bool clash;
    bool unkept;
};

// What is still to be done in a run: the next file to start, shared by the
// threads that transfer, and each file's outcome once it is known.
class Work {
public:
    Work(System& system, const TransferJob& job, OpenFolder* source)
        : system_(system), job_(job), source_(source), done_(job.plan.rows.size()) {
        for (auto& d : done_) d.store(kPending, std::memory_order_relaxed);
    }

    bool recordLost() const { return recordLost_.load(std::memory_order_acquire); }

    // Starts the next file that no thread has taken; false when none is left
    // or the run is to stop.
    bool doOne() {
        if (stopping()) return false;
        const std::uint64_t i = next_.fetch_add(1, std::memory_order_relaxed);
        if (i >= done_.size()) return false;
        const RunRow& row = job_.plan.rows[i];
        OpenFolder* share = job_.shares.folder(row.share);
        const NativeNameView name = job_.names.name(row.name);
        TransferResult result;
        try {
            if (job_.recorder) {
                RowWitness witness(*job_.recorder, row);
                if (source_ && share) result = transfer(*share, name, &witness);
                if (!job_.recorder->transferred(row, result, witness.slot))
                    recordLost_.store(true, std::memory_order_release);
            } else if (source_ && share) {
                result = transfer(*share, name, nullptr);
            }
        } catch (const std::exception&) {
            // Out of memory on the way, say: this file fails and is logged,
            // and a throw never ends the program from the copying thread.
            result = TransferResult();
        }
        const auto state = static_cast<std::uint8_t>(1 + static_cast<int>(result.outcome) * 4 +
                                                     (result.clash ? 1 : 0) + (result.unkept ? 2 : 0));
        {
            // Under the lock, so that a thread about to wait cannot miss it.
            std::lock_guard lock(mutex_);
            done_[i].store(state, std::memory_order_release);
        }
        finished_.notify_all();
        return true;
    }

    // The result of row i once some thread has done it, the calling thread
    // lending a hand while it waits; nullopt when the run stopped before
    // anyone started it (and no one ever will).
    std::optional<Done> result(std::uint64_t i) {
        while (done_[i].load(std::memory_order_acquire) == kPending) {
            if (doOne()) continue;
            std::unique_lock lock(mutex_);
            if (i >= closedAt_) return std::nullopt;
            // Nobody has taken it: close the queue, so that nobody does.
            std::uint64_t next = next_.load(std::memory_order_relaxed);
            while (next <= i) {
                if (next_.compare_exchange_weak(next, kClosed, std::memory_order_relaxed)) {
                    closedAt_ = next;
                    return std::nullopt;
                }
            }
            finished_.wait(lock, [&] { return done_[i].load(std::memory_order_acquire) != kPending; });
        }
        const int state = done_[i].load(std::memory_order_acquire) - 1;
        return Done{static_cast<TransferOutcome>(state / 4), (state & 1) != 0, (state & 2) != 0};
    }

private:
    static constexpr std::uint64_t kClosed = std::numeric_limits<std::uint64_t>::max() / 2;
    static constexpr std::uint8_t kPending = 0;

    bool stopping() const {
        return recordLost() || (job_.stop && job_.stop->load(std::memory_order_relaxed) != 0);
    }
    TransferResult transfer(OpenFolder& share, NativeNameView name, TransferWitness* witness) {
        return job_.plan.move ? system_.moveFile(*source_, name, share, witness)
                              : system_.copyFile(*source_, name, share, witness);
    }

    System& system_;
    const TransferJob& job_;
    OpenFolder* source_;
    std::atomic<std::uint64_t> next_{0};
    std::uint64_t closedAt_ = kClosed;  // under mutex_
    std::atomic<bool> recordLost_{false};
    // Each row's outcome (1 + outcome * 4 + unkept * 2 + clash) once done, kPending before.
    std::vector<std::atomic<std::uint8_t>> done_;
    std::mutex mutex_;
    std::condition_variable finished_;
};

}  // namespace

TransferTally transferAll(System& system, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& beforeFile) {
    const char16_t separator = system.pathStyle().separator;
    const std::unique_ptr<OpenFolder> source = system.openFolder(job.sourceFolder);
    const std::vector<RunRow>& rows = job.plan.rows;
    Work work(system, job, source.get());

    // A copy run has a second thread copying alongside the run's own. The
    // run's thread accounts for the files strictly in the run's order (the
    // title's progress, the counts, the log's lines), doing files itself
    // whenever the next one to account for is not done yet; so everything it
    // reports is what one thread would report. Moves are renames, which the
    // folders' locks would only queue up again: they keep one thread.
    // Joined however the run's thread leaves (a throw included).
    std::jthread helper;
    if (!job.plan.move && rows.size() > 1) helper = std::jthread([&work] {
        while (work.doOne()) {
        }
    });

    TransferTally tally;
    for (std::uint64_t i = 0; i < rows.size(); ++i) {
        beforeFile(i);
        const std::optional<Done> result = work.result(i);
        const RunRow& row = rows[i];
        if (!result) {
            ++tally.notDealt;
        } else if (result->outcome == TransferOutcome::Failed) {
            ++tally.failed;
            if (result->clash) ++tally.clashes;
            const std::u16string name = text::nameText(job.names.name(row.name));
            log.add(job.sourceFolder + separator + name, job.shares.path(row.share) + separator + name);
        } else {
            ++(result->outcome == TransferOutcome::AlreadyThere ? tally.identical : tally.transferred);
            if (job.plan.move && result->outcome != TransferOutcome::Moved) ++tally.copiedOnly;
            if (row.companion) ++tally.companions;
            if (result->unkept) ++tally.unkept;
        }
        if (i + 1 == rows.size() || rows[i + 1].share != row.share) job.shares.close(row.share);
    }
    if (helper.joinable()) helper.join();  // before the tally reads what it did
    tally.recordLost = work.recordLost();
    return tally;
}

}  // namespace qm
