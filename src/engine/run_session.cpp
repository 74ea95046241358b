#include "engine/run_session.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/failure_log.h"
#include "engine/record_format.h"
#include "engine/folder_locks.h"
#include "engine/record_writer.h"
#include "engine/run_records.h"
#include "engine/share_folders.h"
#include "engine/transfer.h"
#include "text/utf.h"

namespace qm {

namespace {

// The manifest's file, made before anything else: a path that cannot take it
// (taken by anything, a missing folder, no permission, no space) stops the
// run before it creates or moves a thing.
std::unique_ptr<ManifestWriter> makeManifest(System& system, const std::u16string& given, RunResult::Manifest& why) {
    const std::u16string path = system.absolutePath(given);
    std::unique_ptr<RecordFile> file = system.createRecordFile(path);
    if (!file) {
        why = system.pathExists(path) ? RunResult::Manifest::Taken : RunResult::Manifest::NotMade;
        return nullptr;
    }
    auto writer = std::make_unique<ManifestWriter>(std::move(file), system.pathStyle().separator);
    if (!writer->start()) {
        writer.reset();
        system.deleteFile(path);
        why = RunResult::Manifest::Full;
        return nullptr;
    }
    return writer;
}

// The record's word on a list, before it appears.
class ListWitness : public TransferWitness {
public:
    ListWitness(RunRecorder* recorder, std::u16string path) : recorder_(recorder), path_(std::move(path)) {}
    bool publishing(const FileFacts& facts, const FileId& id) override {
        return !recorder_ || recorder_->publishingList(path_, facts, id);
    }

private:
    RunRecorder* recorder_;
    std::u16string path_;
};

// A list beside the share folders, "<share root><name>.txt": one line per
// file (a share's, or with `common` the files every share gets), its path
// relative to the import folder written as the record writes paths. Never
// replacing a file, never half-written.
void writeList(System& system, OpenFolder& parent, const RunPlan& plan, const FolderNames& names,
               const std::u16string& name, std::uint64_t share, bool common, RunRecorder* recorder, RunResult& result) {
    std::string text;
    for (const RunRow& row : plan.rows) {
        if (row.share != share || (common && !row.common)) continue;
        text += escapeField(text::nameText(names.name(row.name)));
        text += '\n';
    }
    const char16_t separator = system.pathStyle().separator;
    const std::size_t cut = plan.shareRoot.rfind(separator);
    const std::u16string file = plan.shareRoot.substr(cut == std::u16string::npos ? 0 : cut + 1) + name + u".txt";
    ListWitness witness(recorder, plan.shareRoot + name + u".txt");
    const TransferResult written = system.writeFile(parent, text::nativeName(file), text, &witness);
    ++(written.outcome == TransferOutcome::Failed ? result.listsFailed : result.lists);
}

}  // namespace

std::optional<unsigned> jobsAsked(System& system) { return jobsIn(system.environmentVariable(u"QUILLMARSH_JOBS")); }

std::optional<unsigned> jobsIn(std::u16string_view text) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const auto jobs = static_cast<unsigned>(std::stoul(text::toUtf8(text)));
    return jobs >= 1 ? std::optional<unsigned>(jobs) : std::nullopt;
}

RunResult runPlan(System& system, const RunRequest& request, RunPlan& plan, const FolderNames& names,
                  const RunCallbacks& callbacks) {
    RunResult result;
    if (plan.rows.empty()) return result;

    // A run holds its import folder and the folder of its shares against an
    // undo over them, from before it makes anything: an undo that got there
    // first makes it end here, having made nothing.
    ShareFolders shares(system, request.exportFolder, plan.shareRoot, plan.shareNames);
    FolderLocks locks(system);
    const std::unique_ptr<OpenFolder> importFolder = system.openFolder(plan.sourceFolder);
    OpenFolder* existing = shares.existingParent();
    if ((importFolder && !locks.take(*importFolder, false)) || (existing && !locks.take(*existing, false))) {
        result.busy = true;
        return result;
    }

    // The record says where the run works before it makes anything there, so
    // that even the share folders of a run killed at once can be taken back.
    std::unique_ptr<RunRecorder> recorder;
    if (request.record == RunRequest::Record::Manifest) {
        recorder = makeManifest(system, request.manifest, result.manifest);
        if (!recorder) return result;
    } else if (request.record == RunRequest::Record::WindowRecords) {
        recorder = RunRecords(system).startRun();
    }
    const bool recording =
        !recorder || recorder->begin({plan, names, request.exportFolder, system.currentTime(), shares.toMake()});
    if (recording) shares.make(plan.shares.count, !plan.lists);
    // A folder of the shares made just now is held from here on; an undo
    // cannot have begun on folders that did not exist.
    if (!existing && shares.parent()) locks.take(*shares.parent(), false);
    if (callbacks.starting) callbacks.starting();

    FailureLog log(system);
    const std::uint64_t total = plan.rows.size();
    const TransferJob job{names, plan.sourceFolder, plan, shares, recorder.get(), callbacks.stop,
                          transferWorkers(plan, request.jobs)};
    TransferTally tally;
    if (!recording) {
        // A run that cannot be recorded does not go on unrecorded.
        tally.notDealt = total;
        tally.recordLost = true;
    } else {
        tally = transferAll(system, job, log, [&](std::uint64_t i) {
            if (callbacks.progress) callbacks.progress(i, total);
        });
        // The lists, before the record's last line: of every share's files
        // in a list run, of the common files in any run with them.
        if (!tally.recordLost && shares.parent()) {
            if (plan.lists && tally.notDealt == 0) {
                for (std::uint64_t k = 1; k <= plan.shares.count; ++k)
                    writeList(system, *shares.parent(), plan, names, shares.name(k), k, false, recorder.get(), result);
            }
            if (!plan.common.empty())
                writeList(system, *shares.parent(), plan, names, u"共同", 1, true, recorder.get(), result);
        }
        if (recorder && !tally.recordLost && !recorder->end(tally.notDealt)) tally.recordLost = true;
    }

    // The rows go before a front end reads the folder again.
    log.close();
    recorder.reset();
    std::vector<RunRow>().swap(plan.rows);
    result.ran = true;
    result.transferred = tally.transferred;
    result.identical = tally.identical;
    result.failed = tally.failed;
    result.clashes = tally.clashes;
    result.copiedOnly = tally.copiedOnly;
    result.companions = tally.companions;
    result.unkept = tally.unkept;
    result.notDealt = tally.notDealt;
    result.stopped = tally.notDealt != 0 && !tally.recordLost;
    result.recordLost = tally.recordLost;
    result.failureLog = tally.failed != 0 && log.created() ? log.path() : std::u16string();
    result.companionsShown = request.companions;
    result.copiedNotCloned = tally.copiedNotCloned;
    result.otherVolume = tally.otherVolume;
    result.noPrivilege = tally.noPrivilege;
    result.common = plan.common.size();
    return result;
}

}  // namespace qm
