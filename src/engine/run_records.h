// The records of the window's runs: one file per run in the user's state
// folder (runs/, named by the run's start time), the last 20 kept, so that
// the last run can be taken back with Ctrl+Z. A record is the command line's
// manifest; one that was taken back ends with a line "# undone <time>", and
// one that cannot be taken back at all is set aside (renamed to end in
// .refused) so that the run before it can be.
//
// The runs folder is entered without following a link (a link there would
// make the pruning remove files elsewhere) and every record is reached
// through it by name alone.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/record_reader.h"
#include "engine/run_recorder.h"
#include "platform/system.h"

namespace qm {

class RunRecords {
public:
    static constexpr int kKept = 20;

    explicit RunRecords(System& system);
    System& system() const { return system_; }

    // Whether records are kept at all: not when the build turned them off
    // (QM_KEEP_RECORDS=OFF) or the environment does (QUILLMARSH_NO_RECORDS
    // set to anything but "" or "0"), nor where the system names no state folder.
    bool enabled() const;
    // The record of a run that starts now, the oldest records beyond the
    // newest 20 removed (by the time written in them; never this one). It
    // never stops or changes the run: should it fail, the run goes on and its
    // record is removed at the end (the run then cannot be taken back); so is
    // the record of a run that moved or copied nothing. nullptr when no
    // record can be made.
    std::unique_ptr<RunRecorder> startRun();

    struct Record {
        NativeName name;  // in the runs folder
        RecordHeader header;
    };
    // The newest record not yet taken back; nullopt when there is none.
    std::optional<Record> lastToTakeBack();
    // The record, to be read.
    std::unique_ptr<InputFile> open(const Record& record);
    // Marks a record as taken back: it is not offered again.
    bool markTakenBack(const Record& record);
    // Sets aside a record that cannot be taken back: it is not offered again.
    bool setAside(const Record& record);

private:
    // The runs folder, made when `create` is set; nullptr when there is none
    // or it is a link.
    std::shared_ptr<OpenFolder> runs(bool create);

    System& system_;
    std::shared_ptr<OpenFolder> runs_;
};

}  // namespace qm
