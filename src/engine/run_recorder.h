// Told what a run does, file by file, as it does it: a record of the run
// (the command line's manifest) is written from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_plan.h"
#include "platform/file_types.h"

namespace qm {

// What a record needs to know of a run before its first file.
struct RunStart {
    const RunPlan& plan;
    const FolderNames& names;      // the names the plan's rows point into
    std::u16string targetFolder;   // the folder the share folders are made in
    FileTime time;
    // The folders on the way to the shares that are missing, which the run
    // is about to make: an undo may remove them again.
    std::vector<std::u16string> made = {};
};

// Where the line of one row stands in the record; kept by the thread that
// transfers the row, from its first word with the record to its last.
struct RecordSlot {
    std::uint64_t line = 0;                 // where the line starts
    std::uint32_t outcomeAt = 0, idAt = 0;  // its fixed-width fields, from the line's start
    std::uint32_t timeAt = 0;               // the time, of a width that only the year can change
    bool written = false;
    TransferOutcome outcome = TransferOutcome::Failed;  // as the line says
    FileFacts facts;                                    // as the line says
};

// Every call but begin and end may come from either thread of a copy run;
// an implementation keeps its file consistent across them. A call that
// returns false means the record can no longer be kept: the run then starts
// no further transfer (and a file about to be published is not).
class RunRecorder {
public:
    virtual ~RunRecorder() = default;
    // Before the first file.
    virtual bool begin(const RunStart& start) = 0;
    // The moment before the row's file appears under its destination name
    // (see TransferWitness).
    virtual bool publishing(const RunRow& row, const FileFacts& appearingFacts, const FileId& appearing,
                            RecordSlot& slot) = 0;
    // Once the row's transfer is over, whatever its outcome.
    virtual bool transferred(const RunRow& row, const TransferResult& result, RecordSlot& slot) = 0;
    // Before a folder below share `share` is made (`relative` to the share),
    // so that an undo can remove it again once empty.
    virtual bool makingFolder(std::uint64_t share, std::u16string_view relative) = 0;
    // Before a list of the run (a share's, the common files') appears at
    // `path`, with the facts and identity it will have.
    virtual bool publishingList(const std::u16string& path, const FileFacts& facts, const FileId& id) = 0;
    // After the last file the run dealt; `notDealt` rows were never started
    // (the run was stopped).
    virtual bool end(std::uint64_t notDealt) = 0;
};

}  // namespace qm
