// Taking the window's last run back: Ctrl+Z, or the menu item.
#include "engine/failure_log.h"
#include "engine/record_format.h"
#include "engine/run_records.h"
#include "engine/undo.h"
#include "text/utf.h"
#include "window/form1.h"
#include "window/window_busy.h"

namespace qm {

namespace {

constexpr char16_t kTitle[] = u"消息";

// "2026-12-08 14:10:36" in the local time of that moment.
std::u16string localTimeText(System& system, const FileTime& time) {
    const FileTime local{time.seconds + system.utcOffset(time), 0};
    const std::string utc = utcTime(local);  // 2026-12-08T14:10:36.000000000Z
    return text::fromUtf8(utc.substr(0, utc.find('T'))) + u" " +
           text::fromUtf8(utc.substr(utc.find('T') + 1, 8));
}

// How many files the record says the run moved or copied.
std::uint64_t filesIn(RunRecords& records, const RunRecords::Record& record) {
    const std::unique_ptr<InputFile> file = records.open(record);
    return file ? checkRecord(records.system(), *file).toTakeBack : 0;
}

}  // namespace

bool Form1::CanUndoLastRun() { return keepRecords && RunRecords(system()).lastToTakeBack().has_value(); }

void Form1::UndoLastRun() {
    System& system = this->system();
    User& user = this->user();
    RunRecords records(system);
    const std::optional<RunRecords::Record> last = keepRecords ? records.lastToTakeBack() : std::nullopt;
    if (!last) {
        user.beep();
        return;
    }
    const RecordHeader& run = last->header;
    const std::u16string what = (run.time ? localTimeText(system, *run.time) + u"　" : std::u16string()) +
                                (run.move ? u"移动" : u"复制") + text::decimal(filesIn(records, *last)) +
                                u"个文件到 " + run.targetFolder;
    const MsgResult answer =
        user.messageBox({u"撤销上次分发？\r\n" + what, kTitle, MsgButtons::OkCancel, MsgIcon::Information, 1});
    if (answer != MsgResult::Ok) return;

    // As a run: the window disabled, progress in its title.
    WindowBusy busy(*this);
    busy.begin();
    const std::u16string progress = tag() + u"  正在撤销，请稍候...";
    FailureLog log(system, u"撤销失败记录.txt");
    const std::unique_ptr<InputFile> record = records.open(*last);
    UndoReport report;
    if (record) {
        UndoRequest request{*record, {}, {}, nullptr, {}};
        request.problem = [&](const UndoProblem& problem) { log.add(problem.path, problem.reason); };
        // Esc or closing the window may stop it (RequestStop) between files.
        stop_.store(0);
        request.stop = &stop_;
        request.progress = [&](std::uint64_t done, std::uint64_t total) {
            setCaption(progress + text::decimal(done + 1) + u"/" + text::decimal(total));
            user.keepResponsive();
        };
        busy_ = true;
        report = undoRun(system, request);
        busy_ = false;
    } else {
        report.refused = UndoReport::Refused::Unreadable;
    }
    log.close();
    busy.restore();
    // The source folder as it now is: files moved back count again.
    LDir_Change();

    if (report.refused != UndoReport::Refused::No) {
        const bool busy = report.refused == UndoReport::Refused::Busy;
        user.messageBox({std::u16string(u"无法撤销上次分发：") +
                             (busy ? u"另一次分发或撤销正在使用这些分发文件夹。" : u"它的记录无法读取。"),
                         u"警告", MsgButtons::Ok, MsgIcon::Critical, 0});
        // A record that can never be taken back would stand in front of
        // every run before it: it is set aside. A busy one waits its turn.
        if (!busy) records.setAside(*last);
        return;
    }
    if (report.stopped) {
        // Not marked: what is left is offered again with the next Ctrl+Z.
        user.messageBox({u"撤销已停止：已撤销" + text::decimal(report.takenBack) + u"个文件。", kTitle, MsgButtons::Ok,
                         MsgIcon::Information, 0});
        return;
    }
    records.markTakenBack(*last);
    if (report.takenBack == 0 && report.left == 0) {
        user.messageBox({u"没有需要撤销的文件。", kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        log.removeEarlier();
        return;
    }
    if (report.left == 0) {
        user.messageBox({u"撤销完毕！", kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
        log.removeEarlier();
        return;
    }
    user.messageBox({u"撤销完毕！有" + text::decimal(report.left) + u"个文件未能撤销。\r\n稍候请参见撤销失败的记录。",
                     kTitle, MsgButtons::Ok, MsgIcon::Information, 0});
    if (log.created()) user.openInDesktop(log.path(), ShowAs::Normal);
}

}  // namespace qm
