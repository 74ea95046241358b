// Taking back the run that a record describes, as far as it can be done
// without replacing anything, without deleting the last copy of anything,
// and without touching a file the run did not make or move.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/record_reader.h"
#include "platform/system.h"

namespace qm {

struct UndoProblem {
    std::u16string path;    // the file in its share
    std::u16string reason;  // why it stays
};

struct UndoReport {
    enum class Refused { No, Unreadable, Invalid, Busy };
    Refused refused = Refused::No;  // anything but No: nothing was touched
    // Why it was refused (UTF-8); with Refused::No, why it ended early (the
    // record changed while it was being read).
    std::string error;
    RecordHeader header;
    bool interruptedRun = false;  // the record is that of a run that was stopped or killed
    std::uint64_t rows = 0;       // rows in the record
    std::uint64_t toTakeBack = 0;  // of them, files the run moved or copied
    std::uint64_t takenBack = 0;
    std::uint64_t alreadyBack = 0;  // taken back before (an undo done twice, or killed)
    std::uint64_t left = 0;  // files that stay, each told to `problem`
    bool stopped = false;    // the undo itself was stopped
};

struct UndoRequest {
    InputFile& record;
    // Each file that stays, as soon as it is known (nothing is gathered: a
    // record can have a million rows).
    std::function<void(const UndoProblem&)> problem;
    // Once the record has been checked, before anything is touched.
    std::function<void(const UndoReport&)> checked;
    // Becomes non-zero to stop between files.
    const std::atomic<int>* stop = nullptr;
    // As the files are taken back: how many came before the last one and
    // how many there are in all (a window shows it in its title). Called on
    // the thread that asked for the undo, as `problem` is.
    std::function<void(std::uint64_t done, std::uint64_t total)> progress;
    // How many files are taken back at once; unset: kUndoWorkers.
    std::optional<unsigned> jobs = std::nullopt;
};

inline constexpr unsigned kUndoWorkers = 8;

// Reads the record twice: first whole, to check every line, refusing a bad
// record before anything is touched; then row by row, taking each back:
//  - a moved file goes back to its source name while its share still holds
//    that very file (same identity, size and time) and nothing has taken
//    the source name;
//  - a copy is deleted while it is that very file and its source is another
//    file with the same bytes;
//  - share folders left empty by this are removed, and the folders the run
//    made on the way to them.
// It can be done again: a row taken back already (its file back at its
// source, or its copy gone while the source is there) counts as such, and a
// file that a killed undo (or run) left under a hidden name in its share is
// found there by its recorded identity and taken back from there.
// The share folders are entered from the target folder without following
// links. The folder that holds them, the import folder and each share it
// enters are held exclusively against every run and every other undo.
UndoReport undoRun(System& system, const UndoRequest& request);

// The first step alone: the record read to its end and checked line by
// line, nothing touched; what it holds (a window asks how many files the
// run moved or copied), or why it is refused.
UndoReport checkRecord(System& system, InputFile& record, const std::atomic<int>* stop = nullptr);

}  // namespace qm
