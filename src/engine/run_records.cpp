#include "engine/run_records.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "engine/record_format.h"
#include "engine/record_writer.h"
#include "text/utf.h"

#ifndef QM_KEEP_RECORDS
#define QM_KEEP_RECORDS 1
#endif

namespace qm {

namespace {

constexpr std::u16string_view kSuffix = u".manifest";
constexpr std::string_view kTakenBack = "# undone ";
constexpr std::string_view kTakenBackLine = "\n# undone ";

// Passes everything on to the record, but never stops the run: a window run
// that cannot be recorded goes on, and simply cannot be taken back.
class WindowRecorder : public RunRecorder {
public:
    WindowRecorder(System& system, std::u16string path, std::unique_ptr<ManifestWriter> writer)
        : system_(system), path_(std::move(path)), writer_(std::move(writer)) {}

    bool begin(const RunStart& start) override {
        if (!writer_->begin(start)) broken_ = true;
        return true;
    }
    bool publishing(const RunRow& row, const FileFacts& source, const FileId& appearing, RecordSlot& slot) override {
        if (!broken_ && !writer_->publishing(row, source, appearing, slot)) broken_ = true;
        return true;
    }
    bool transferred(const RunRow& row, const TransferResult& result, RecordSlot& slot) override {
        if (result.outcome == TransferOutcome::Moved || result.outcome == TransferOutcome::Copied) dealt_ = true;
        if (!broken_ && !writer_->transferred(row, result, slot)) broken_ = true;
        return true;
    }
    bool end(std::uint64_t notDealt) override {
        if (broken_ || !writer_->end(notDealt) || !dealt_) {
            // A record that is not whole, or of a run that put nothing
            // anywhere, has nothing to offer.
            writer_.reset();
            system_.deleteFile(path_);
        }
        return true;
    }

private:
    System& system_;
    std::u16string path_;
    std::unique_ptr<ManifestWriter> writer_;
    std::atomic<bool> broken_{false}, dealt_{false};
};

// A record's file name from its run's start time: the UTC time without the
// separators a file system may refuse, so that names sort as times do.
std::u16string nameFor(const FileTime& time) {
    std::string name;
    for (char c : utcTime(time)) {
        if (c != '-' && c != ':') name += c;
    }
    return text::fromUtf8(name);
}

bool takenBack(InputFile& file) {
    const std::uint64_t size = file.size();
    const std::uint64_t from = size > 256 ? size - 256 : 0;
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    if (!file.seek(from) || file.read(tail.data(), tail.size()) != static_cast<long long>(tail.size())) return false;
    return tail.find(kTakenBackLine) != std::string::npos;
}

}  // namespace

RunRecords::RunRecords(System& system) : system_(system) {}

std::u16string RunRecords::folder() const {
    const std::u16string state = system_.stateFolder();
    if (state.empty()) return {};
    return state + system_.pathStyle().separator + u"runs";
}

bool RunRecords::enabled() const {
    if (!QM_KEEP_RECORDS) return false;
    const std::u16string off = system_.environmentVariable(u"QUILLMARSH_NO_RECORDS");
    return (off.empty() || off == u"0") && !folder().empty();
}

std::unique_ptr<RunRecorder> RunRecords::startRun() {
    if (!enabled()) return nullptr;
    const char16_t separator = system_.pathStyle().separator;
    const std::u16string runs = folder();
    if (!system_.folderExists(runs)) system_.makeFolders(runs + separator);
    const std::u16string stem = runs + separator + nameFor(system_.currentTime());
    std::u16string path = stem + std::u16string(kSuffix);
    std::unique_ptr<RecordFile> file = system_.createRecordFile(path);
    for (int again = 1; !file && again < 10 && system_.pathExists(path); ++again) {
        path = stem + u"-" + text::decimal(static_cast<std::uint64_t>(again)) + std::u16string(kSuffix);
        file = system_.createRecordFile(path);
    }
    if (!file) return nullptr;
    auto writer = std::make_unique<ManifestWriter>(std::move(file), separator);
    if (!writer->start()) {
        writer.reset();
        system_.deleteFile(path);
        return nullptr;
    }

    // The oldest go, so that the newest kKept (this one among them) stay.
    FolderNames names;
    if (system_.listFolder(runs, names)) {
        std::vector<std::u16string> records;
        for (std::size_t i = 0; i < names.size(); ++i) {
            std::u16string name = text::nameText(names.name(i));
            if (name.ends_with(kSuffix)) records.push_back(std::move(name));
        }
        std::sort(records.begin(), records.end());
        for (std::size_t i = 0; i + kKept < records.size(); ++i) system_.deleteFile(runs + separator + records[i]);
    }
    return std::make_unique<WindowRecorder>(system_, path, std::move(writer));
}

std::optional<RunRecords::Record> RunRecords::lastToTakeBack() {
    if (!enabled()) return std::nullopt;
    const std::u16string runs = folder();
    FolderNames names;
    if (!system_.listFolder(runs, names)) return std::nullopt;
    std::vector<std::u16string> records;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::u16string name = text::nameText(names.name(i));
        if (name.ends_with(kSuffix)) records.push_back(std::move(name));
    }
    std::sort(records.rbegin(), records.rend());
    for (const std::u16string& name : records) {
        const std::u16string path = runs + system_.pathStyle().separator + name;
        const std::unique_ptr<InputFile> file = system_.openInputFile(path);
        if (!file || takenBack(*file) || !file->rewind()) continue;
        RecordReader reader(*file, system_.pathStyle().separator);
        Record record{path, {}};
        std::string error;
        // A record that cannot be read, or of a run killed before it began,
        // has nothing to offer: the one before it is looked at.
        if (reader.readHeader(record.header, error) && record.header.begun) return record;
    }
    return std::nullopt;
}

bool RunRecords::markTakenBack(const std::u16string& path) {
    std::string line(kTakenBack);
    appendUtcTime(line, system_.currentTime());
    line += '\n';
    return system_.appendToFile(path, line);
}

}  // namespace qm
