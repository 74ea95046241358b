// The dispatch run: everything that happens inside one click on the dispatch
// button, step by step in its fixed order.
#include "engine/completion_message.h"
#include "engine/failure_log.h"
#include "engine/folder_locks.h"
#include "engine/run_plan.h"
#include "engine/run_records.h"
#include "engine/run_recorder.h"
#include "engine/share_folders.h"
#include "engine/transfer.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

namespace {

constexpr char16_t kTitle[] = u"消息";

}  // namespace

void Form1::CmdDo_Click() {
    System& system = this->system();
    User& user = this->user();
    lastRun_ = RunResult();
    if (FilesToDeal() == 0) return;  // nothing matches; the button is normally disabled then

    // Move confirmation: Cancel turns the run into a copy run, it cannot stop it.
    if (ChBackUp.value() != 0) {
        MsgResult answer = user.messageBox(
            {u"在分发的同时移走原文件？", kTitle, MsgButtons::OkCancel, MsgIcon::Information, 1});
        if (answer == MsgResult::Ok) {
            CmdDo.setEnabled(false);
        } else {
            ChBackUp.setValue(0);
        }
    }

    // The plan (settings, share root, counts) and the draw, seeded from the
    // clock; then the share folders, before the window is disabled.
    RunPlan plan = PlanRun(ChBackUp.value() != 0, extras.seed ? *extras.seed : system.clockSeed());
    // A run holds its import folder and the folder of its shares against an
    // undo over them, from before it makes anything: an undo that got there
    // first makes it end here, having made nothing.
    ShareFolders shares(system, LDirOut.caption(), plan.shareRoot);
    FolderLocks locks(system);
    const std::unique_ptr<OpenFolder> importFolder = system.openFolder(File1.path());
    OpenFolder* existing = shares.existingParent();
    if ((importFolder && !locks.take(*importFolder, false)) || (existing && !locks.take(*existing, false))) {
        lastRun_ = RunResult();
        lastRun_.busy = true;
        user.messageBox({u"一次撤销正在使用这些文件夹，请等它结束后再分发。", kTitle, MsgButtons::Ok,
                         MsgIcon::Information, 0});
        // As before the click: the user may try again once the undo is over.
        CmdDo.setEnabled(LFiles.caption() != u"0");
        return;
    }
    // The record says where the run works before it makes anything there, so
    // that even the share folders of a run killed at once can be taken back.
    RunRecorder* recorder = extras.recorder;
    std::unique_ptr<RunRecorder> windowRecord;
    if (!recorder && extras.keepRecords) {
        windowRecord = RunRecords(system).startRun();
        recorder = windowRecord.get();
    }
    const bool recording =
        !recorder || recorder->begin({plan, File1.names(), LDirOut.caption(), system.currentTime(), shares.toMake()});
    if (recording) shares.make(plan.shares.count);
    // A folder of the shares made just now is held from here on; an undo
    // cannot have begun on folders that did not exist.
    if (!existing && shares.parent()) locks.take(*shares.parent(), false);
    setEnabled(false);
    setTag(caption());

    FailureLog log(system);
    const std::u16string progress = tag() + u"  正在随机分发，请稍候...";
    const std::u16string total = u"/" + LFiles.caption();
    const TransferJob job{File1.names(), File1.path(), plan, shares, recorder, extras.stop};
    TransferTally tally;
    if (!recording) {
        // A run that cannot be recorded does not go on unrecorded.
        tally.notDealt = plan.rows.size();
        tally.recordLost = true;
    } else {
        tally = transferAll(system, job, log,
                            [&](std::uint64_t i) {
                                setCaption(progress + text::decimal(i + 1) + total);
                                user.keepResponsive();
                            });
        if (recorder && !tally.recordLost && !recorder->end(tally.notDealt)) tally.recordLost = true;
    }

    // The end of the run. The rows go before the list is read again.
    log.close();
    std::vector<RunRow>().swap(plan.rows);
    if (extras.listAfterRun) File1.refresh();
    setCaption(tag());
    setEnabled(true);
    lastRun_ = {.ran = true,
                .transferred = tally.transferred,
                .identical = tally.identical,
                .failed = tally.failed,
                .clashes = tally.clashes,
                .copiedOnly = tally.copiedOnly,
                .companions = tally.companions,
                .unkept = tally.unkept,
                .notDealt = tally.notDealt,
                .stopped = tally.notDealt != 0 && !tally.recordLost,
                .recordLost = tally.recordLost,
                .failureLog = tally.failed != 0 && log.created() ? log.path() : std::u16string(),
                .companionsShown = extras.companions};
    user.messageBox({CompletionMessage(lastRun_), kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
    if (!lastRun_.failureLog.empty()) {
        user.openInDesktop(lastRun_.failureLog, ShowAs::Normal);
    } else if (tally.failed == 0) {
        log.removeEarlier();
    }
    if (ChBackUp.value() != 0) LFiles.setCaption(u"0");
    ChBackUp.setValue(0);
    user.openInDesktop(LDirOut.caption(), ShowAs::NormalWithoutFocus);
}

}  // namespace qm
