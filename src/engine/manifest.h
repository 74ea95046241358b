// The record of a run: what it did with every file, in a text that any file
// name survives, so that the run can be checked or taken back later.
//
// UTF-8, one line per file in transfer order, fields separated by tabs:
//
//   # quillmarsh manifest 1
//   # seed 1234
//   # mode copy                       (or move)
//   share  source  destination  outcome  size  modification time
//
// outcome is moved, copied, identical (the same file was there already) or
// failed; size is in bytes; the time is UTC with nanoseconds,
// 2024-06-11T14:32:05.123456789Z. In the paths a backslash, a tab, a line
// feed and a carriage return are written \\ \t \n \r; a byte of a name that
// is not UTF-8 is written \xHH, and (on Windows) a lone surrogate \uDXXX.
// A dry run prints its plan in the same escaping.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_recorder.h"

namespace qm {

std::string escapeField(std::u16string_view text);
std::optional<std::u16string> unescapeField(std::string_view field);

// 2024-06-11T14:32:05.123456789Z for nanoseconds since 1970-01-01 UTC, and back.
void appendUtcTime(std::string& out, std::int64_t nanoseconds);
inline std::string utcTime(std::int64_t nanoseconds) {
    std::string out;
    appendUtcTime(out, nanoseconds);
    return out;
}
std::optional<std::int64_t> parseUtcTime(std::string_view text);

struct ManifestRow {
    std::uint64_t share = 0;
    std::u16string source, destination;
    TransferOutcome outcome = TransferOutcome::Failed;
    FileFacts facts;
};

struct Manifest {
    std::uint64_t seed = 0;
    bool move = false;
    std::vector<ManifestRow> rows;
};

// Reads a manifest; nullopt with `error` set when it is not one.
std::optional<Manifest> parseManifest(std::string_view bytes, std::string& error);

// The lines of a plan or a record, shared by the dry run and the manifest.
class RowWriter {
public:
    RowWriter(const RunPlan& plan, const FileList& files, char16_t separator);
    // Appends share<TAB>source<TAB>destination, without a line end.
    void append(std::string& out, const RunRow& row) const;

private:
    const FileList& files_;
    std::string source_;     // the source folder and a separator, escaped
    std::string shareRoot_;  // escaped
    std::string separator_;
};

// Writes the manifest of a run as it goes, to a file that takes its name only
// when the run has ended: an interrupted run leaves no manifest, or the old one.
class ManifestWriter : public RunRecorder {
public:
    ManifestWriter(std::unique_ptr<PendingFile> file, char16_t separator)
        : file_(std::move(file)), separator_(separator) {}

    void begin(const RunPlan& plan, const FileList& files) override;
    void record(const RunRow& row, const TransferResult& result) override;
    void end() override;
    // Whether the whole manifest reached its file.
    bool written() const { return written_; }

private:
    void flush();

    std::unique_ptr<PendingFile> file_;
    char16_t separator_;
    std::optional<RowWriter> rows_;
    std::string buffer_;
    bool ok_ = true;
    bool written_ = false;
};

}  // namespace qm
