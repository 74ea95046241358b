#include "engine/run_records.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "engine/record_format.h"
#include "engine/record_marks.h"
#include "engine/record_writer.h"
#include "text/utf.h"

#ifndef QM_KEEP_RECORDS
#define QM_KEEP_RECORDS 1
#endif

namespace qm {

namespace {

constexpr std::u16string_view kSuffix = u".manifest";
constexpr std::u16string_view kAsideSuffix = u".refused";

// Passes everything on to the record, but never stops the run: a window run
// that cannot be recorded goes on, and simply cannot be taken back.
class WindowRecorder : public RunRecorder {
public:
    WindowRecorder(System& system, std::shared_ptr<OpenFolder> runs, NativeName name,
                   std::unique_ptr<ManifestWriter> writer)
        : system_(system), runs_(std::move(runs)), name_(std::move(name)), writer_(std::move(writer)) {}

    bool begin(const RunStart& start) override {
        if (!writer_->begin(start)) broken_ = true;
        return true;
    }
    bool publishing(const RunRow& row, const FileFacts& source, const FileId& appearing, RecordSlot& slot) override {
        if (!broken_ && !writer_->publishing(row, source, appearing, slot)) broken_ = true;
        return true;
    }
    bool transferred(const RunRow& row, const TransferResult& result, RecordSlot& slot) override {
        if (result.outcome != TransferOutcome::Failed && result.outcome != TransferOutcome::AlreadyThere) dealt_ = true;
        if (!broken_ && !writer_->transferred(row, result, slot)) broken_ = true;
        return true;
    }
    bool makingFolder(std::uint64_t share, std::u16string_view relative) override {
        if (!broken_ && !writer_->makingFolder(share, relative)) broken_ = true;
        return true;
    }
    bool publishingList(const std::u16string& path, const FileFacts& facts, const FileId& id) override {
        if (!broken_ && !writer_->publishingList(path, facts, id)) broken_ = true;
        return true;
    }
    bool end(std::uint64_t notDealt) override {
        if (broken_ || !writer_->end(notDealt) || !dealt_) {
            // A record that is not whole, or of a run that put nothing
            // anywhere, has nothing to offer.
            writer_.reset();
            system_.removeFileIn(*runs_, name_);
        }
        return true;
    }

private:
    System& system_;
    std::shared_ptr<OpenFolder> runs_;
    NativeName name_;
    std::unique_ptr<ManifestWriter> writer_;
    std::atomic<bool> broken_{false}, dealt_{false};
};

// A record's file name from its run's start time: the UTC time without the
// separators a file system may refuse.
std::u16string nameFor(const FileTime& time) {
    std::string name;
    for (char c : utcTime(time)) {
        if (c != '-' && c != ':') name += c;
    }
    return text::fromUtf8(name);
}

struct Found {
    NativeName name;
    RecordHeader header;
};

// The records in the runs folder (set aside ones too, with `aside`) whose
// header can be read, newest first by the time written in them. A file
// that is no record is none of the program's business and is left alone.
std::vector<Found> recordsIn(System& system, OpenFolder& runs, bool aside) {
    std::vector<NativeName> names;
    system.forEachEntry(runs, [&](NativeNameView name, EntryKind kind) {
        const std::u16string text = text::nameText(name);
        if (kind == EntryKind::File && (text.ends_with(kSuffix) || (aside && text.ends_with(kAsideSuffix))))
            names.emplace_back(name);
        return true;
    });
    std::vector<Found> found;
    for (NativeName& name : names) {
        const std::unique_ptr<InputFile> file = system.openInputIn(runs, name);
        if (!file) continue;
        RecordReader reader(*file, system.pathStyle().separator);
        RecordHeader header;
        std::string error;
        if (reader.readHeader(header, error) && header.time) found.push_back({std::move(name), std::move(header)});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const FileTime &x = *a.header.time, &y = *b.header.time;
        if (x.seconds != y.seconds) return x.seconds > y.seconds;
        if (x.nanoseconds != y.nanoseconds) return x.nanoseconds > y.nanoseconds;
        return a.name > b.name;
    });
    return found;
}

}  // namespace

RunRecords::RunRecords(System& system) : system_(system) {}

std::shared_ptr<OpenFolder> RunRecords::runs(bool create) {
    if (runs_) return runs_;
    const std::u16string state = system_.stateFolder();
    if (state.empty()) return nullptr;
    // The state folder is the user's (and links on its way are theirs);
    // the runs folder in it is the program's own.
    if (create && !system_.folderExists(state)) system_.makeFolders(state + system_.pathStyle().separator);
    const std::unique_ptr<OpenFolder> folder = system_.openFolder(state);
    if (!folder) return nullptr;
    runs_ = system_.openFolderBelow(*folder, u"runs", create);
    return runs_;
}

bool RunRecords::enabled() const {
    if (!QM_KEEP_RECORDS) return false;
    const std::u16string off = system_.environmentVariable(u"QUILLMARSH_NO_RECORDS");
    return (off.empty() || off == u"0") && !system_.stateFolder().empty();
}

std::unique_ptr<RunRecorder> RunRecords::startRun() {
    if (!enabled()) return nullptr;
    const std::shared_ptr<OpenFolder> folder = runs(true);
    if (!folder) return nullptr;
    const std::u16string stem = nameFor(system_.currentTime());
    NativeName name = text::nativeName(stem + std::u16string(kSuffix));
    std::unique_ptr<RecordFile> file = system_.createRecordIn(*folder, name);
    for (int again = 1; !file && again < 10; ++again) {
        name = text::nativeName(stem + u"-" + text::decimal(static_cast<std::uint64_t>(again)) + std::u16string(kSuffix));
        file = system_.createRecordIn(*folder, name);
    }
    if (!file) return nullptr;
    auto writer = std::make_unique<ManifestWriter>(std::move(file), system_.pathStyle().separator);
    if (!writer->start()) {
        writer.reset();
        system_.removeFileIn(*folder, name);
        return nullptr;
    }

    // The oldest go, so that the newest kKept stay: this one (whose header
    // is not written yet) and the newest others.
    const std::vector<Found> found = recordsIn(system_, *folder, true);
    int kept = 1;
    for (const Found& record : found) {
        if (record.name == name) continue;
        if (kept < kKept) {
            ++kept;
        } else {
            system_.removeFileIn(*folder, record.name);
        }
    }
    return std::make_unique<WindowRecorder>(system_, folder, std::move(name), std::move(writer));
}

std::optional<RunRecords::Record> RunRecords::lastToTakeBack() {
    if (!enabled()) return std::nullopt;
    const std::shared_ptr<OpenFolder> folder = runs(false);
    if (!folder) return std::nullopt;
    for (Found& record : recordsIn(system_, *folder, false)) {
        // A record of a run killed before it began has nothing to offer, nor
        // one taken back already: the one before it is looked at.
        if (!record.header.begun) continue;
        const std::unique_ptr<InputFile> file = system_.openInputIn(*folder, record.name);
        if (!file || markedUndone(*file)) continue;
        return Record{std::move(record.name), std::move(record.header)};
    }
    return std::nullopt;
}

std::unique_ptr<InputFile> RunRecords::open(const Record& record) {
    const std::shared_ptr<OpenFolder> folder = runs(false);
    return folder ? system_.openInputIn(*folder, record.name) : nullptr;
}

bool RunRecords::markTakenBack(const Record& record) {
    const std::shared_ptr<OpenFolder> folder = runs(false);
    const std::unique_ptr<RecordFile> file = folder ? system_.openRecordIn(*folder, record.name) : nullptr;
    return file && markUndone(*file, system_.currentTime());
}

bool RunRecords::setAside(const Record& record) {
    const std::shared_ptr<OpenFolder> folder = runs(false);
    if (!folder) return false;
    std::u16string name = text::nameText(record.name);
    if (name.ends_with(kSuffix)) name.resize(name.size() - kSuffix.size());
    return system_.renameIn(*folder, record.name, text::nativeName(name + std::u16string(kAsideSuffix)));
}

}  // namespace qm
