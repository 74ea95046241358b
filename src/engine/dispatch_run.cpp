// The dispatch run: everything that happens inside one click on the dispatch
// button, step by step in its fixed order.
#include "engine/failure_log.h"
#include "engine/run_plan.h"
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
    // The record says where the run works before it makes anything there, so
    // that even the share folders of a run killed at once can be taken back.
    RunRecorder* recorder = extras.recorder;
    const bool recording = !recorder || recorder->begin({plan, File1.names(), LDirOut.caption(), system.currentTime()});
    ShareFolders shares(system, LDirOut.caption(), plan.shareRoot);
    if (recording) shares.make(plan.shares.count);
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
    File1.refresh();
    setCaption(tag());
    setEnabled(true);
    lastRun_ = {true,
                tally.failed,
                tally.clashes,
                tally.copiedOnly,
                tally.companions,
                tally.notDealt,
                tally.notDealt != 0 && !tally.recordLost,
                tally.recordLost,
                tally.failed != 0 && log.created() ? log.path() : std::u16string()};
    // A move run that could only copy some files says so: the user expects
    // the source folder to be empty afterwards.
    std::u16string copiedOnly =
        tally.copiedOnly == 0 ? u"" : u"\r\n其中" + text::decimal(tally.copiedOnly) + u"个文件只能复制，原文件未移走。";
    // Companions are counted apart from the files dealt.
    if (extras.companions) copiedOnly += u"\r\n另有" + text::decimal(tally.companions) + u"个伴随文件随同分发。";
    if (tally.failed != 0) {
        std::u16string prompt = u"分发完毕！因文件访问错误，分发失败" + text::decimal(tally.failed) + u"份。\r\n" +
                                (log.created() ? u"稍候请参见分发失败的记录。" : u"分发失败的记录无法创建。");
        // A run into an old target meets the files of the last run: that is
        // no access error, and the user is told so.
        if (tally.clashes != 0)
            prompt += u"\r\n其中" + text::decimal(tally.clashes) + u"个文件因目标位置已有不同的同名文件而未分发。";
        user.messageBox({prompt + copiedOnly, kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        if (log.created()) user.openInDesktop(log.path(), ShowAs::Normal);
    } else {
        user.messageBox({u"分发完毕！" + copiedOnly, kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        log.removeEarlier();
    }
    if (ChBackUp.value() != 0) LFiles.setCaption(u"0");
    ChBackUp.setValue(0);
    user.openInDesktop(LDirOut.caption(), ShowAs::NormalWithoutFocus);
}

}  // namespace qm
