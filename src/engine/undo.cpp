#include "engine/undo.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <map>
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

// A row's rows that are the run's own files: those it moved, copied, linked
// or cloned (not those it only listed, found there, or failed).
bool dealtFile(const RecordRow& row) {
    switch (row.outcome) {
        case TransferOutcome::Moved:
        case TransferOutcome::Copied:
        case TransferOutcome::Linked:
        case TransferOutcome::Symlinked:
        case TransferOutcome::Cloned:
            return row.kind == RecordRow::Kind::File;
        default:
            return false;
    }
}

// A path below a folder as its folder part ("" for none) and its own name.
std::pair<std::u16string_view, std::u16string_view> splitPath(std::u16string_view path, char16_t separator) {
    const std::size_t cut = path.rfind(separator);
    if (cut == std::u16string_view::npos) return {std::u16string_view(), path};
    return {path.substr(0, cut), path.substr(cut + 1)};
}

// A folder a row's file is in, in a share or below the import folder,
// entered without following a link, and the files under hidden names in it
// once looked for.
struct Place {
    std::unique_ptr<OpenFolder> owned;
    OpenFolder* folder = nullptr;
    std::optional<std::vector<std::pair<NativeName, FileStamp>>> hidden;
    bool replaced = false;  // not opened: something on the way is a link or a file
};

// The share folders of the rows in hand: rows come share by share, those of
// neighbouring shares mixed where several threads copied, so a few stay
// open. Each is held exclusively while it is open.
class OpenShares {
public:
    OpenShares(System& system, FolderLocks& locks, OpenFolder* parent, const RecordHeader& header,
               std::u16string rootName)
        : system_(system), locks_(locks), parent_(parent), header_(header), rootName_(std::move(rootName)) {}
    ~OpenShares() { closeAll(); }

    struct Share {
        std::uint64_t number;
        std::unique_ptr<OpenFolder> folder;
        bool busy = false;  // another run or undo holds it
        bool replaced = false;  // not opened, but something has its name: a link or a file
        std::map<std::u16string, Place, std::less<>> places;  // the share itself ("") and folders below it
    };

    Share& get(std::uint64_t share) {
        for (Share& open : open_) {
            if (open.number == share) return open;
        }
        if (open_.size() == kKept) {
            if (open_.front().folder && !open_.front().busy) locks_.release(*open_.front().folder);
            open_.erase(open_.begin());
        }
        Share opened{share, nullptr, false, false, {}};
        if (parent_) opened.folder = system_.openFolderBelow(*parent_, name(share), false);
        if (parent_ && !opened.folder) opened.replaced = hasEntry(*parent_, text::nativeName(name(share)));
        if (opened.folder && !locks_.take(*opened.folder, true)) opened.busy = true;
        open_.push_back(std::move(opened));
        return open_.back();
    }
    // The folder `relative` below the share; nullptr when it is not there,
    // and then `replaced` says whether something else holds its way.
    Place* place(Share& share, std::u16string_view relative, bool& replaced) {
        replaced = share.replaced;
        if (!share.folder) return nullptr;
        auto it = share.places.find(relative);
        if (it == share.places.end()) {
            Place place;
            if (relative.empty()) {
                place.folder = share.folder.get();
            } else {
                place.owned = system_.openFolderBelow(*share.folder, relative, false);
                place.folder = place.owned.get();
                if (!place.folder) place.replaced = blocked(*share.folder, relative);
            }
            it = share.places.emplace(std::u16string(relative), std::move(place)).first;
        }
        replaced = it->second.replaced;
        return it->second.folder ? &it->second : nullptr;
    }
    // The hidden name in the place that holds the file `stamp`, if any.
    std::optional<NativeName> hiddenHolding(Place& place, const FileStamp& stamp) {
        if (!place.hidden) {
            place.hidden.emplace();
            system_.forEachEntry(*place.folder, [&](NativeNameView entry, EntryKind kind) {
                if ((kind == EntryKind::File || kind == EntryKind::Link) &&
                    text::nameText(entry).starts_with(text::fromUtf8(kHiddenPrefix))) {
                    if (const auto found = system_.stampOf(*place.folder, entry))
                        place.hidden->emplace_back(NativeName(entry), *found);
                }
                return true;
            });
        }
        for (const auto& [name, found] : *place.hidden) {
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
    std::u16string name(std::uint64_t share) const { return rootName_ + shareNameIn(header_, share); }

private:
    // Whether the way to `relative` below `folder` ends at something that
    // cannot be entered (a link, a file) rather than at nothing. A record's
    // paths are plain names joined by the separator (the reader checks).
    bool blocked(OpenFolder& folder, std::u16string_view relative) {
        std::unique_ptr<OpenFolder> held;
        OpenFolder* at = &folder;
        for (;;) {
            const std::size_t cut = relative.find(system_.pathStyle().separator);
            const std::u16string_view part = relative.substr(0, cut);
            std::unique_ptr<OpenFolder> next = system_.openFolderBelow(*at, part, false);
            if (!next) return hasEntry(*at, text::nativeName(part));
            if (cut == std::u16string_view::npos) return false;
            held = std::move(next);
            at = held.get();
            relative.remove_prefix(cut + 1);
        }
    }
    // Read from the folder's own entries, never by following the name.
    bool hasEntry(OpenFolder& folder, NativeNameView wanted) {
        bool found = false;
        system_.forEachEntry(folder, [&](NativeNameView entry, EntryKind) {
            found = entry == wanted;
            return !found;
        });
        return found;
    }

    static constexpr std::size_t kKept = 4;
    System& system_;
    FolderLocks& locks_;
    OpenFolder* parent_;
    const RecordHeader& header_;
    std::u16string rootName_;
    std::vector<Share> open_;
};

// The import folder's folders that files go back to, entered from it
// without following a link, a few hundred at a time.
class SourcePlaces {
public:
    SourcePlaces(System& system, OpenFolder* top) : system_(system), top_(top) {}
    OpenFolder* get(std::u16string_view relative) {
        if (relative.empty() || !top_) return top_;
        auto it = open_.find(relative);
        if (it == open_.end()) {
            if (open_.size() >= kKept) open_.clear();
            it = open_.emplace(std::u16string(relative), system_.openFolderBelow(*top_, relative, false)).first;
        }
        return it->second.get();
    }

private:
    static constexpr std::size_t kKept = 256;
    System& system_;
    OpenFolder* top_;
    std::map<std::u16string, std::unique_ptr<OpenFolder>, std::less<>> open_;
};

// A row in three steps: what is there (find), what that means (decide, a
// pure function of the findings), and doing it (act), where the platform
// checks again on the very file it acts on.
class RowUndo {
public:
    RowUndo(System& system, OpenFolder* source, OpenShares& shares, bool subfolders)
        : system_(system), importOpen_(source != nullptr), sources_(system, source), shares_(shares),
          subfolders_(subfolders), separator_(system.pathStyle().separator) {}

    Verdict operator()(const RecordRow& row) {
        const auto [folder, leaf] = subfolders_ ? splitPath(row.name, separator_)
                                                : std::pair(std::u16string_view(), std::u16string_view(row.name));
        const NativeName name = text::nativeName(leaf);
        Place* place = nullptr;
        OpenFolder* source = nullptr;
        Verdict verdict = decide(row, find(row, folder, name, place, source));
        if (verdict == Verdict::Restore) {
            // A killed undo moves a file aside under a hidden name before it
            // removes it, and a killed run may leave a whole file under one:
            // known by its identity, it gets its name back first.
            const auto hidden = shares_.hiddenHolding(*place, row.stamp);
            verdict = hidden && system_.renameIn(*place->folder, *hidden, name)
                          ? decide(row, find(row, folder, name, place, source))
                          : Verdict::Failed;
            if (verdict == Verdict::Restore) verdict = Verdict::Failed;
        }
        if (verdict == Verdict::TakeBack) {
            if (!source) return Verdict::SourceFolderGone;
            verdict = act(*place->folder, name, *source, row);
        }
        return verdict;
    }

private:
    RowFindings find(const RecordRow& row, std::u16string_view folder, NativeNameView name, Place*& place,
                     OpenFolder*& source) {
        RowFindings found;
        found.importOpen = importOpen_;
        if (!importOpen_) return found;
        source = sources_.get(folder);
        OpenShares::Share& share = shares_.get(row.share);
        if (share.busy) {
            found.share = RowFindings::Share::Busy;
            return found;
        }
        bool replaced = false;
        place = shares_.place(share, folder, replaced);
        if (!place) {
            found.share = replaced ? RowFindings::Share::Replaced : RowFindings::Share::Missing;
        } else {
            found.inShare = system_.stampOf(*place->folder, name);
            if (found.inShare) return found;
            found.hidden = shares_.hiddenHolding(*place, row.stamp).has_value();
            if (found.hidden) return found;
        }
        if (source) found.atSource = system_.stampOf(*source, name);
        return found;
    }

    Verdict act(OpenFolder& share, NativeNameView name, OpenFolder& source, const RecordRow& row) {
        switch (row.outcome) {
            case TransferOutcome::Moved:
                break;
            case TransferOutcome::Linked:
                return verdictOf(removeHardLink(system_, share, name, row.stamp, source), false);
            case TransferOutcome::Symlinked:
                return verdictOf(removeSymbolicLink(system_, share, name, row.stamp), false);
            default:  // copied, cloned
                return verdictOf(deleteCopy(system_, share, name, row.stamp, source), false);
        }
        TakeBack result = moveBack(system_, share, name, source, row.stamp);
        // A move between file systems that was killed after its copy was
        // published but before the source went: the source is still there,
        // and the share holds a copy of it.
        if (result == TakeBack::NameTaken && deleteCopy(system_, share, name, row.stamp, source) == TakeBack::Done)
            result = TakeBack::Done;
        return verdictOf(result, true);
    }

    System& system_;
    bool importOpen_;
    SourcePlaces sources_;
    OpenShares& shares_;
    bool subfolders_;
    char16_t separator_;
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

// What the run left besides its files: the lists it wrote (while each is
// unchanged) and the folders it made below its shares, to go once the files
// are back.
struct Leftovers {
    std::vector<std::pair<std::u16string, FileStamp>> lists;
    std::vector<std::pair<std::uint64_t, std::u16string>> folders;
};

// The lists, the folders the run made below its shares (innermost first),
// the share folders of the run that are empty now, and the folders it made
// on the way to them, go; one that holds anything stays. The share folders
// are found by looking, not by counting up to the number the record claims.
void removeLeftovers(System& system, const RecordHeader& header, const ShareLayout& layout, OpenFolder* parent,
                     Leftovers& left, const std::atomic<int>* stop) {
    const char16_t separator = system.pathStyle().separator;
    for (const auto& [path, stamp] : left.lists) {
        if (!parent || stopping(stop)) break;
        const std::u16string name = path.substr(header.shareRoot.size() - layout.rootName.size());
        const HeldResult held = system.holdFile(*parent, text::nativeName(name), false);
        if (held.file && held.file->kind() == EntryKind::File && held.file->stamp() == stamp) held.file->remove();
    }
    std::sort(left.folders.begin(), left.folders.end(), [&](const auto& a, const auto& b) {
        return std::count(a.second.begin(), a.second.end(), separator) >
               std::count(b.second.begin(), b.second.end(), separator);
    });
    for (const auto& [share, relative] : left.folders) {
        if (!parent || stopping(stop)) break;
        const auto [above, leaf] = splitPath(relative, separator);
        std::u16string path = layout.rootName + shareNameIn(header, share);
        if (!above.empty()) path += separator + std::u16string(above);
        if (const std::unique_ptr<OpenFolder> folder = system.openFolderBelow(*parent, path, false))
            system.removeFolderBelow(*folder, text::nativeName(leaf));
    }
    std::vector<NativeName> shares;
    if (parent) {
        system.forEachEntry(*parent, [&](NativeNameView entry, EntryKind kind) {
            if (kind != EntryKind::Folder) return !stopping(stop);
            const std::u16string name = text::nameText(entry);
            bool ours = false;
            if (header.names.empty()) {
                const std::uint64_t k = shareNumber(name, layout.rootName);
                ours = k >= 1 && k <= header.folders;
            } else if (name.starts_with(layout.rootName)) {
                const std::u16string_view given = std::u16string_view(name).substr(layout.rootName.size());
                ours = std::find(header.names.begin(), header.names.end(), given) != header.names.end();
            }
            if (ours) shares.emplace_back(entry);
            return !stopping(stop);
        });
    }
    for (const NativeName& share : shares) {
        if (stopping(stop)) return;
        system.removeFolderBelow(*parent, share);
    }
    // Innermost first; each only once empty.
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

// The rows taken back by several workers at once (a rename on a network
// share waits its round trip too). Each share's rows go to one worker, in the
// record's order, so that no two wait on one folder and a share's files are
// taken back as they were dealt; each worker has its own open folders. The
// thread that reads the record hands the rows out and is the only one that
// reports (progress and the files that stay), so that a window's calls stay
// on its own thread.
class UndoPool {
public:
    UndoPool(System& system, FolderLocks& locks, OpenFolder* parent, OpenFolder* source, const RecordHeader& header,
             const std::u16string& rootName, unsigned workers, const std::atomic<int>* stop)
        : stop_(stop), lanes_(workers) {
        for (Lane& lane : lanes_) {
            lane.shares = std::make_unique<OpenShares>(system, locks, parent, header, rootName);
            lane.undo = std::make_unique<RowUndo>(system, source, *lane.shares, header.subfolders);
            lane.thread = std::jthread([this, &lane] { work(lane); });
        }
    }
    ~UndoPool() { finish(); }

    // Hands a row to its share's worker, waiting while that worker has many
    // in hand.
    void add(const RecordRow& row, const std::function<void()>& whileWaiting) {
        Lane& lane = lanes_[row.share % lanes_.size()];
        std::unique_lock lock(mutex_);
        while (lane.rows.size() >= kInHand && !stopping(stop_)) {
            lock.unlock();
            whileWaiting();
            lock.lock();
            if (lane.rows.size() >= kInHand) roomy_.wait_for(lock, std::chrono::milliseconds(50));
        }
        lane.rows.push_back(row);
        work_.notify_all();
    }
    // What the workers have done since last asked: each row's destination,
    // outcome and verdict.
    struct Done {
        std::u16string destination;
        bool moved;
        Verdict verdict;
    };
    std::vector<Done> collect() {
        std::lock_guard lock(mutex_);
        std::vector<Done> done;
        done.swap(done_);
        return done;
    }
    // Every row handed out done, the workers gone; their folders let go.
    void finish() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        work_.notify_all();
        for (Lane& lane : lanes_) {
            if (lane.thread.joinable()) lane.thread.join();
            if (lane.shares) lane.shares->closeAll();
        }
    }

private:
    static constexpr std::size_t kInHand = 256;
    struct Lane {
        std::deque<RecordRow> rows;
        std::unique_ptr<OpenShares> shares;
        std::unique_ptr<RowUndo> undo;
        std::jthread thread;
    };

    void work(Lane& lane) {
        for (;;) {
            RecordRow row;
            {
                std::unique_lock lock(mutex_);
                work_.wait(lock, [&] { return !lane.rows.empty() || closed_; });
                // A stop ends each worker after its file in hand; what it
                // had waiting stays as it is, to be taken back another time.
                if (stopping(stop_)) lane.rows.clear();
                if (lane.rows.empty()) return;
                row = std::move(lane.rows.front());
                lane.rows.pop_front();
            }
            roomy_.notify_all();
            Verdict verdict = Verdict::Failed;
            try {
                verdict = (*lane.undo)(row);
            } catch (const std::exception&) {
                // Out of memory, say: this file stays and is told.
            }
            std::lock_guard lock(mutex_);
            done_.push_back({std::move(row.destination), row.outcome == TransferOutcome::Moved, verdict});
        }
    }

    const std::atomic<int>* stop_;
    std::mutex mutex_;
    std::condition_variable work_, roomy_;
    std::vector<Lane> lanes_;
    bool closed_ = false;
    std::vector<Done> done_;
};

}  // namespace

UndoReport checkRecord(System& system, InputFile& record, const std::atomic<int>* stop) {
    UndoReport report;
    RecordReader reader(record, system.pathStyle().separator);
    RecordRow row;
    if (reader.readHeader(report.header, report.error)) {
        while (reader.next(row, report.error)) {
            if (row.kind != RecordRow::Kind::File) continue;
            ++report.rows;
            if (dealtFile(row)) ++report.toTakeBack;
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
    const unsigned workers = std::clamp(request.jobs.value_or(kUndoWorkers), 1u, 64u);
    UndoPool pool(system, locks, parent.get(), source.get(), header, layout->rootName, workers, request.stop);
    Leftovers left;
    RecordRow row;
    std::uint64_t handedOut = 0, accounted = 0;
    auto account = [&] {
        for (const UndoPool::Done& done : pool.collect()) {
            ++accounted;
            switch (endOf(done.verdict)) {
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
                    if (request.problem) request.problem({done.destination, reasonOf(done.verdict, done.moved)});
                    break;
            }
        }
        if (request.progress && accounted != 0) request.progress(accounted - 1, report.toTakeBack);
    };
    while (error.empty() && reader.next(row, error)) {
        if (stopping(request.stop)) {
            report.stopped = true;
            break;
        }
        if (row.kind == RecordRow::Kind::List) {
            left.lists.emplace_back(row.destination, row.stamp);
            continue;
        }
        if (row.kind == RecordRow::Kind::Folder) {
            left.folders.emplace_back(row.share, row.name);
            continue;
        }
        if (!dealtFile(row)) continue;
        pool.add(row, account);
        if (++handedOut % 64 == 0) account();
    }
    // The rows handed out finish (a stop lets each worker end the file in hand).
    pool.finish();
    account();
    if (stopping(request.stop)) report.stopped = true;  // rows may have waited when it came
    // The record changed between the two readings: what was read up to
    // there was taken back, the rest stays.
    if (!error.empty()) report.error = error;
    if (!report.stopped) removeLeftovers(system, header, *layout, parent.get(), left, request.stop);
    return report;
}

}  // namespace qm
