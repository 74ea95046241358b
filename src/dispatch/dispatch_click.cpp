// The dispatch button: everything that happens inside one click, step by
// step in its fixed order. The controls say what the run is; the engine
// carries it out; the window asks, shows and resets around it.
#include <algorithm>
#include <cmath>

#include "engine/completion_message.h"
#include "engine/failure_log.h"
#include "engine/run_plan.h"
#include "engine/run_session.h"
#include "settings/deal_rules.h"
#include "text/number.h"
#include "text/utf.h"
#include "window/form1.h"
#include "window/window_busy.h"

namespace qm {

namespace {

constexpr char16_t kTitle[] = u"消息";

// A count field as a whole number, at least 1 (the run caps it at the file
// count). The settings keep it so; this only guards a run against a field
// that was never normalised.
std::uint64_t countIn(const TextBox& field) {
    const double value = std::round(std::fabs(leadingNumber(field.text())));
    if (!(value >= 1)) return 1;
    return value >= 1e18 ? std::uint64_t{1} << 60 : static_cast<std::uint64_t>(value);
}

}  // namespace

std::uint64_t Form1::FilesToDeal() const {
    // As many as the count label shows, but never more than the list holds
    // (the count is only a caption and could lag behind).
    const double shown = leadingNumber(LFiles.caption());
    if (!(shown >= 1)) return 0;
    return std::min<std::uint64_t>(File1.count(), shown >= 1e18 ? File1.count() : static_cast<std::uint64_t>(shown));
}

// The dispatch settings, each read from its control at the moment it is needed.
RunRequest Form1::RequestFromControls() const {
    RunRequest request;
    request.importFolder = File1.path();
    request.exportFolder = LDirOut.caption();
    request.keepWholePath = !Option2.value();
    request.mode = Opt1.value() ? RunRequest::Mode::Fixed : RunRequest::Mode::Average;
    request.count = countIn(Opt1.value() ? TParts : TDivs);
    request.move = ChBackUp.value() != 0;
    request.files = FilesToDeal();
    request.record = keepRecords ? RunRequest::Record::WindowRecords : RunRequest::Record::None;
    // What the options dialog adds (checked there by the command line's rules).
    request.subfolders = options.subfolders;
    request.byFolder = options.subfolders && options.byFolder;
    if (options.ratio && !ratioProblem(options.weights, request.ratio) && !options.names.empty())
        request.shareNames = shareNamesIn(options.names);
    request.link = options.link;
    request.lists = options.lists;
    request.common = options.common;
    request.jobs = jobsAsked(system());
    return request;
}

bool Form1::RequestStop() {
    if (!busy_ || stop_.load() != 0) return stop_.load() != 0;
    const MsgResult answer =
        user().messageBox({u"停止分发？", kTitle, MsgButtons::OkCancel, MsgIcon::Information, 1});
    if (answer == MsgResult::Ok) stop_.store(1);
    return answer == MsgResult::Ok;
}

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
    // clock; the engine makes the share folders before the window is disabled.
    RunRequest request = RequestFromControls();
    request.seed = system.clockSeed();
    // A tree is read again: what is below the folder changes unseen.
    if (request.subfolders) {
        File1.refresh();
        request.files = File1.count();
    }
    RunPlan plan = planRun(request, File1.list(), system.pathStyle());
    std::u16string progress;
    const std::u16string total = u"/" + LFiles.caption();
    RunCallbacks callbacks;
    // The window's title and enabled state come back however the run ends.
    WindowBusy busy(*this);
    callbacks.starting = [&] {
        busy.begin();
        progress = tag() + u"  正在随机分发，请稍候...";
    };
    // Esc or closing the window may stop it (RequestStop) while it runs.
    stop_.store(0);
    callbacks.stop = &stop_;
    struct Running {
        bool& busy;
        ~Running() { busy = false; }
    } running{busy_};
    busy_ = true;
    callbacks.progress = [&](std::uint64_t i, std::uint64_t) {
        setCaption(progress + text::decimal(i + 1) + total);
        user.keepResponsive();
    };
    lastRun_ = runPlan(system, request, plan, File1.names(), callbacks);
    lastRun_.linkedFolders = File1.list().linkedFolders();
    busy_ = false;

    if (lastRun_.busy) {
        user.messageBox({u"一次撤销正在使用这些文件夹，请等它结束后再分发。", kTitle, MsgButtons::Ok,
                         MsgIcon::Information, 0});
        // As before the click: the user may try again once the undo is over.
        CmdDo.setEnabled(LFiles.caption() != u"0");
        return;
    }

    // The end of the run: the list as the folder now is, the window back.
    File1.refresh();
    busy.restore();
    std::u16string message = CompletionMessage(lastRun_);
    // Stopped by the user: the record says so, and Ctrl+Z takes back what was dealt.
    if (lastRun_.stopped) message += u"\r\n分发已停止：" + text::decimal(lastRun_.notDealt) + u"个文件未分发。";
    user.messageBox({message, kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
    if (!lastRun_.failureLog.empty()) {
        user.openInDesktop(lastRun_.failureLog, ShowAs::Normal);
    } else if (lastRun_.failed == 0) {
        FailureLog(system).removeEarlier();
    }
    if (ChBackUp.value() != 0) LFiles.setCaption(u"0");
    ChBackUp.setValue(0);
    user.openInDesktop(LDirOut.caption(), ShowAs::NormalWithoutFocus);
}

}  // namespace qm
