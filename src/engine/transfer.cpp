#include "engine/transfer.h"

#include <condition_variable>
#include <exception>
#include <limits>
#include <map>
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
    TransferResult::Trouble trouble;
};

// A name below the import folder as its folder and its own name.
std::pair<NativeNameView, NativeNameView> splitName(NativeNameView name, NameUnit separator) {
    const std::size_t cut = name.rfind(separator);
    if (cut == NativeNameView::npos) return {NativeNameView(), name};
    return {name.substr(0, cut), name.substr(cut + 1)};
}

// The import folder's folders that files come from, each opened once below
// it without following a link, a few hundred at a time.
// Each is shared with the threads using it, so that one let go of meanwhile
// stays open until they are done with it.
class SourceFolders {
public:
    SourceFolders(System& system, OpenFolder* top) : system_(system), top_(top, [](OpenFolder*) {}) {}
    std::shared_ptr<OpenFolder> get(NativeNameView folder) {
        if (folder.empty() || !top_) return top_;
        std::lock_guard lock(mutex_);
        auto it = open_.find(NativeName(folder));
        if (it == open_.end()) {
            if (open_.size() >= kKept) open_.clear();
            it = open_.emplace(NativeName(folder), system_.openFolderBelow(*top_, text::nameText(folder), false)).first;
        }
        return it->second;
    }

private:
    static constexpr std::size_t kKept = 256;
    System& system_;
    std::shared_ptr<OpenFolder> top_;  // the run's, not owned here
    std::mutex mutex_;
    std::map<NativeName, std::shared_ptr<OpenFolder>> open_;
};

// What is still to be done in a run: the next file to start, shared by the
// threads that transfer, and each file's outcome once it is known.
class Work {
public:
    Work(System& system, const TransferJob& job, OpenFolder* source)
        : system_(system), job_(job), source_(source), sources_(system, source),
          separator_(static_cast<NameUnit>(system.pathStyle().separator)), done_(job.plan.rows.size()) {
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
        TransferResult result;
        try {
            // Below the import folder, the file's folder on both sides.
            const auto [folder, name] = job_.plan.subfolders ? splitName(job_.names.name(row.name), separator_)
                                                             : std::pair(NativeNameView(), job_.names.name(row.name));
            const std::shared_ptr<OpenFolder> from = sources_.get(folder);
            OpenFolder* share = nullptr;
            if (!job_.plan.lists) {
                share = job_.shares.folder(row.share, text::nameText(folder), [&](std::uint64_t k, std::u16string_view f) {
                    return !job_.recorder || job_.recorder->makingFolder(k, f);
                });
            }
            const bool ready = from && (share || job_.plan.lists);
            if (job_.recorder) {
                RowWitness witness(*job_.recorder, row);
                if (ready) result = transfer(*from, share, name, &witness);
                if (!job_.recorder->transferred(row, result, witness.slot))
                    recordLost_.store(true, std::memory_order_release);
            } else if (ready) {
                result = transfer(*from, share, name, nullptr);
            }
        } catch (const std::exception&) {
            // Out of memory on the way, say: this file fails and is logged,
            // and a throw never ends the program from the copying thread.
            result = TransferResult();
        }
        const auto state = static_cast<std::uint8_t>(1 + static_cast<int>(result.outcome) * 16 +
                                                     static_cast<int>(result.trouble) * 4 + (result.clash ? 1 : 0) +
                                                     (result.unkept ? 2 : 0));
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
        return Done{static_cast<TransferOutcome>(state / 16), (state & 1) != 0, (state & 2) != 0,
                    static_cast<TransferResult::Trouble>((state / 4) % 4)};
    }

private:
    static constexpr std::uint64_t kClosed = std::numeric_limits<std::uint64_t>::max() / 2;
    static constexpr std::uint8_t kPending = 0;

    bool stopping() const {
        return recordLost() || (job_.stop && job_.stop->load(std::memory_order_relaxed) != 0);
    }
    TransferResult transfer(OpenFolder& from, OpenFolder* share, NativeNameView name, TransferWitness* witness) {
        // A list run moves nothing: the file is only in its share's list.
        if (job_.plan.lists) return {TransferOutcome::Listed, {}, {}};
        if (job_.plan.move) return system_.moveFile(from, name, *share, witness);
        switch (job_.plan.link) {
            case RunRequest::Link::Hard:
                return system_.linkFile(from, name, *share, LinkKind::Hard, witness);
            case RunRequest::Link::Symbolic:
                return system_.linkFile(from, name, *share, LinkKind::Symbolic, witness);
            case RunRequest::Link::Clone:
                return system_.linkFile(from, name, *share, LinkKind::Clone, witness);
            case RunRequest::Link::None:
                break;
        }
        return system_.copyFile(from, name, *share, witness);
    }

    System& system_;
    const TransferJob& job_;
    OpenFolder* source_;
    SourceFolders sources_;
    NameUnit separator_;
    std::atomic<std::uint64_t> next_{0};
    std::uint64_t closedAt_ = kClosed;  // under mutex_
    std::atomic<bool> recordLost_{false};
    // Each row's outcome (1 + outcome * 16 + trouble * 4 + unkept * 2 + clash) once done, kPending before.
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
    if (!job.plan.move && !job.plan.lists && rows.size() > 1) helper = std::jthread([&work] {
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
            if (result->trouble == TransferResult::Trouble::OtherVolume) ++tally.otherVolume;
            if (result->trouble == TransferResult::Trouble::NoPrivilege) ++tally.noPrivilege;
            const std::u16string name = text::nameText(job.names.name(row.name));
            log.add(job.sourceFolder + separator + name, job.shares.path(row.share) + separator + name);
        } else {
            ++(result->outcome == TransferOutcome::AlreadyThere ? tally.identical : tally.transferred);
            if (job.plan.move && result->outcome != TransferOutcome::Moved) ++tally.copiedOnly;
            if (job.plan.link == RunRequest::Link::Clone && result->outcome == TransferOutcome::Copied)
                ++tally.copiedNotCloned;
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
