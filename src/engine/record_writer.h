// The lines of a plan (a dry run) and of the record of a run (the manifest).
//
// The record is UTF-8, a header and then one line per file, fields separated
// by tabs:
//
//   # quillmarsh manifest 2
//   # seed 1234
//   # mode copy                       (or move, hardlink, symlink, clone, lists)
//   # time 2024-06-11T14:32:05.123456789Z
//   # import /home/ann/photos         (the source folder)
//   # export /home/ann/out            (the target folder)
//   # shares /home/ann/out/photos_分发 (share k is this followed by k)
//   # folders 5                       (the number of share folders)
//   # subfolders                      (names are paths below the import folder)
//   # name 1 train                    (share 1 is the share root and "train"; one line a named share)
//   # made /home/ann/out/home         (a folder on the way to the shares
//   # made /home/ann/out/home/ann      that the run made; none, one or more)
//   share  source  destination  outcome  size  modification time  identity
//   ...
//   # folder 2<TAB>cats               (a folder below share 2 the run is about to make)
//   # list PATH<TAB>size<TAB>time<TAB>identity  (a list the run is about to write)
//   # end                             (or: # end interrupted N)
//   # undone 2024-06-11T15:00:00.000000000Z  (once the run was taken back)
//
// Outcomes: moved, copied, linked, symlinked, cloned, listed (nothing moved:
// the file is in its share's list), identical (the same was there), failed.
// The fields are escaped and formatted as record_format.h says. Each line
// is in the file before its file appears at the destination, and is
// corrected in place should the transfer end otherwise (the outcome and
// identity fields have a fixed width for that). Lines come in the order the
// files were transferred; the last line says that the run ended and whether
// it was stopped. A record without it is that of a run that was killed.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/run_recorder.h"

namespace qm {

// Version 3: the ways of dealing beyond copying and moving (its records of
// copy and move runs are what version 2 wrote, and version 2 is still read).
constexpr std::string_view kRecordMagic = "# quillmarsh manifest 3";
constexpr std::string_view kRecordMagic2 = "# quillmarsh manifest 2";

// share<TAB>source<TAB>destination of the rows of one plan.
class RowWriter {
public:
    RowWriter(const RunPlan& plan, const FolderNames& names, char16_t separator);
    // Appends the three fields, without a line end.
    void append(std::string& out, const RunRow& row) const;

private:
    const FolderNames& names_;
    std::string source_;     // the source folder and a separator, escaped
    std::string shareRoot_;  // escaped
    std::vector<std::string> shareNames_;  // escaped; empty: shares are numbered
    std::string separator_;
};

// Writes the record of a run to its file as the run goes. Safe to call from
// both threads of a copy run; once one write fails, every later call
// returns false, and what is in the file stays whole lines.
class ManifestWriter : public RunRecorder {
public:
    ManifestWriter(std::unique_ptr<RecordFile> file, char16_t separator);

    // Writes the first line at once, so that a file that cannot take even
    // that is found out before the run makes anything.
    bool start();
    bool begin(const RunStart& start) override;
    bool publishing(const RunRow& row, const FileFacts& source, const FileId& appearing, RecordSlot& slot) override;
    bool transferred(const RunRow& row, const TransferResult& result, RecordSlot& slot) override;
    bool makingFolder(std::uint64_t share, std::u16string_view relative) override;
    bool publishingList(const std::u16string& path, const FileFacts& facts, const FileId& id) override;
    bool end(std::uint64_t notDealt) override;

private:
    // The row's whole line, with the slot set to where its fields lie.
    bool writeRow(const RunRow& row, TransferOutcome outcome, const FileFacts& facts, const FileId& id,
                  RecordSlot& slot);
    bool append(std::string_view bytes, std::uint64_t* at = nullptr);
    bool rewrite(std::uint64_t at, std::string_view bytes);

    std::unique_ptr<RecordFile> file_;
    char16_t separator_;
    std::unique_ptr<RowWriter> rows_;
    bool move_ = false;
    TransferOutcome initial_ = TransferOutcome::Copied;  // what a row's line says before its transfer ends
    std::mutex mutex_;       // the file's end and every write
    std::uint64_t size_ = 0;  // where the next line goes
    bool ok_ = true;
};

}  // namespace qm
