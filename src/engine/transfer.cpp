#include "engine/transfer.h"

#include <algorithm>
#include <chrono>
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

// The rows of one share, the stretch of the plan they fill.
struct Lane {
    std::uint64_t next, end;
    std::uint64_t left;  // not yet accounted for
};

// What is still to be done in a run, handed out to the workers so that the
// files in flight are spread over the share folders: each worker takes the
// next file of the next share in turn, so that no two wait on one folder
// while another has work (creating names in one folder is one at a time on
// most file systems, and on a network share each waits its round trip).
// With one worker the plan's own order.
class Work {
public:
    Work(System& system, const TransferJob& job, OpenFolder* source, bool spread)
        : system_(system), job_(job), source_(source), sources_(system, source),
          separator_(static_cast<NameUnit>(system.pathStyle().separator)) {
        const std::vector<RunRow>& rows = job.plan.rows;
        for (std::uint64_t i = 0; i < rows.size(); ++i) {
            if (i > 0 && rows[i].share == rows[i - 1].share) {
                ++lanes_.back().end;
                ++lanes_.back().left;
            } else {
                lanes_.push_back({i, i + 1, 1});
            }
        }
        spread_ = spread;
    }

    bool recordLost() const { return recordLost_.load(std::memory_order_acquire); }
    std::uint64_t started() const { return started_; }

    // The next row to transfer, or nothing when none is left or the run is
    // to stop (then nothing more is started).
    std::optional<std::uint64_t> take() {
        std::lock_guard lock(mutex_);
        if (stopping()) closed_ = true;
        for (std::size_t tried = 0; !closed_ && tried < lanes_.size(); ++tried) {
            Lane& lane = lanes_[turn_];
            // Spread: the next share's turn; otherwise this share to its end.
            if (spread_ || lane.next == lane.end) turn_ = (turn_ + 1) % lanes_.size();
            if (lane.next == lane.end) continue;
            ++started_;
            return lane.next++;
        }
        closed_ = true;
        return std::nullopt;
    }

    // Transfers row i and tells the run's thread how it went.
    void transferRow(std::uint64_t i) {
        const Done done = doRow(i);
        std::lock_guard lock(mutex_);
        finished_.push_back({i, done});
        wake_.notify_one();
    }

    // The rows finished since last asked, waiting up to `wait` for one;
    // whether every row started is accounted for.
    bool collect(std::vector<std::pair<std::uint64_t, Done>>& out, std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        if (finished_.empty()) wake_.wait_for(lock, wait, [&] { return !finished_.empty(); });
        out.swap(finished_);
        finished_.clear();
        accounted_ += out.size();
        return closed_ && accounted_ == started_;
    }

    // The share a row is in is done with once all of its rows are.
    bool lastOfShare(std::uint64_t i) {
        std::lock_guard lock(mutex_);
        const auto lane = std::upper_bound(lanes_.begin(), lanes_.end(), i,
                                           [](std::uint64_t row, const Lane& l) { return row < l.end; });
        return lane != lanes_.end() && --lane->left == 0;
    }

private:
    bool stopping() const {
        return recordLost() || (job_.stop && job_.stop->load(std::memory_order_relaxed) != 0);
    }

    Done doRow(std::uint64_t i) {
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
            // and a throw never ends the program from a worker.
            result = TransferResult();
        }
        return {result.outcome, result.clash, result.unkept, result.trouble};
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
    std::atomic<bool> recordLost_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Lane> lanes_;  // one a share, in the plan's order
    bool spread_ = false;
    std::size_t turn_ = 0;     // the lane the next row comes from
    bool closed_ = false;      // nothing more is started
    std::uint64_t started_ = 0, accounted_ = 0;
    std::vector<std::pair<std::uint64_t, Done>> finished_;
};

}  // namespace

unsigned transferWorkers(const RunPlan& plan, std::optional<unsigned> asked) {
    if (asked) return std::clamp(*asked, 1u, kMostWorkers);
    // Enough files in flight to keep cold disks and network shares busy; a
    // list run has nothing to wait for.
    if (plan.lists || plan.rows.size() < 2) return 1;
    return static_cast<unsigned>(std::min<std::uint64_t>(kDefaultWorkers, plan.rows.size()));
}

TransferTally transferAll(System& system, const TransferJob& job, FailureLog& log,
                          const std::function<void(std::uint64_t)>& progress) {
    const char16_t separator = system.pathStyle().separator;
    const std::unique_ptr<OpenFolder> source = system.openFolder(job.sourceFolder);
    const std::vector<RunRow>& rows = job.plan.rows;
    const unsigned workers = std::max(1u, job.workers);
    Work work(system, job, source.get(), workers > 1);

    TransferTally tally;
    std::uint64_t accounted = 0;
    // The run's own thread accounts for each file once it is done (the
    // counts, the failure log's lines, the progress), in the order the files
    // finish; with one worker it does the files itself, in the plan's order.
    auto account = [&](std::uint64_t i, const Done& result) {
        const RunRow& row = rows[i];
        if (result.outcome == TransferOutcome::Failed) {
            ++tally.failed;
            if (result.clash) ++tally.clashes;
            if (result.trouble == TransferResult::Trouble::OtherVolume) ++tally.otherVolume;
            if (result.trouble == TransferResult::Trouble::NoPrivilege) ++tally.noPrivilege;
            const std::u16string name = text::nameText(job.names.name(row.name));
            log.add(job.sourceFolder + separator + name, job.shares.path(row.share) + separator + name);
        } else {
            ++(result.outcome == TransferOutcome::AlreadyThere ? tally.identical : tally.transferred);
            if (job.plan.move && result.outcome != TransferOutcome::Moved) ++tally.copiedOnly;
            if (job.plan.link == RunRequest::Link::Clone && result.outcome == TransferOutcome::Copied)
                ++tally.copiedNotCloned;
            if (row.companion) ++tally.companions;
            if (result.unkept) ++tally.unkept;
        }
        if (work.lastOfShare(i)) job.shares.close(row.share);
        if (workers > 1) progress(accounted);
        ++accounted;
    };
    std::vector<std::pair<std::uint64_t, Done>> finished;
    if (workers == 1) {
        // Told before each file, as the window's title has always shown it.
        while (const std::optional<std::uint64_t> i = work.take()) {
            progress(accounted);
            work.transferRow(*i);
            work.collect(finished, std::chrono::milliseconds(0));
            for (const auto& [row, result] : finished) account(row, result);
        }
    } else {
        // Joined however the run's thread leaves (a throw included).
        std::vector<std::jthread> pool;
        for (unsigned w = 0; w < workers; ++w) {
            pool.emplace_back([&work] {
                while (const std::optional<std::uint64_t> i = work.take()) work.transferRow(*i);
            });
        }
        // The run's thread waits for the files to finish, but never long:
        // a window repaints between them however long a file takes.
        for (bool all = false; !all;) {
            all = work.collect(finished, std::chrono::milliseconds(50));
            if (finished.empty() && accounted > 0) progress(accounted - 1);
            for (const auto& [row, result] : finished) account(row, result);
        }
        for (std::jthread& worker : pool) worker.join();  // before the tally reads what they did
    }
    tally.notDealt = rows.size() - work.started();
    tally.recordLost = work.recordLost();
    return tally;
}

}  // namespace qm
