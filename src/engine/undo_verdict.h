// What an undo decides for one row of a record, from what it found: a pure
// function of the facts, so that every decision can be checked without a
// file system, and one table of what each verdict tells the user.
#pragma once

#include <optional>
#include <string>

#include "engine/record_reader.h"
#include "platform/file_types.h"

namespace qm {

enum class Verdict {
    TakeBack,      // the run's file is in its share, unchanged: move it back or delete the copy
    Restore,       // the run's file is in its share under a hidden name a killed undo or run left
    AlreadyBack,   // taken back before: the file is at its source again, or the copy gone
    NothingThere,  // nothing of the run's is left to take back (a copy gone with its source)
    Gone,          // a moved file is neither in its share nor back at its source
    Changed,       // the share holds another file under the name, or the file changed
    ShareMissing,  // the share folder is gone, or is a link and was not entered
    ShareBusy,     // another run or undo is using the share folder
    ImportMissing, // the import folder cannot be opened
    SourceFolderGone,  // the folder below the import folder the file came from is gone
    // What taking back itself can still meet:
    NameTaken,   // something has the file's old name in the import folder
    SourceGone,  // a copy's source is no longer there to compare with
    SameFile,    // a copy's "source" is the copy itself
    Differs,     // a copy's bytes are no longer its source's
    CopiedBack,  // put back across file systems, but the share's file could not be removed
    Unlinked,    // a hard link whose source is another file now: the link is all that is left of it
    Failed,      // the file system refused
};

// What undo finds for a row before it acts on it.
struct RowFindings {
    bool importOpen = true;
    // Missing: nothing has the share folder's name. Replaced: something that
    // is not a folder to enter has it (a link, a file), so what the share
    // held cannot be seen from here.
    enum class Share { Open, Missing, Replaced, Busy } share = Share::Open;
    std::optional<FileStamp> inShare;  // the file or link that has the row's name in its share
    bool hidden = false;                 // a hidden file in the share is the recorded one
    std::optional<FileStamp> atSource;   // what has the name in the import folder
};

Verdict decide(const RecordRow& row, const RowFindings& found);
// The verdict of taking back itself, as the platform reported it.
Verdict verdictOf(TakeBack result, bool move);

// Whether the row counts as taken back, as left (told with a reason), or as neither.
enum class RowEnd { TakenBack, AlreadyBack, Nothing, Left };
RowEnd endOf(Verdict verdict);
// Why a file stays; empty for a verdict that leaves nothing to say.
std::u16string reasonOf(Verdict verdict, bool move);

}  // namespace qm
