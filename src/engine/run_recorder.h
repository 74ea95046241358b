// Told what a run does, file by file: a record of the run (the command
// line's manifest) is written from it.
#pragma once

#include "engine/run_plan.h"
#include "platform/platform.h"

namespace qm {

class FileList;

class RunRecorder {
public:
    virtual ~RunRecorder() = default;
    // Before the first file, with the plan and the list its rows point into.
    virtual void begin(const RunPlan& plan, const FileList& files) = 0;
    // After each file, in transfer order.
    virtual void record(const RunRow& row, const TransferResult& result) = 0;
    // After the last file; every file has been recorded.
    virtual void end() = 0;
};

}  // namespace qm
