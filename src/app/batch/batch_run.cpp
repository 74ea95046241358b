#include "app/batch/batch_run.h"

#include <algorithm>
#include <chrono>

#include "app/batch/batch_user.h"
#include "engine/record_writer.h"
#include "engine/run_plan.h"
#include "engine/undo.h"
#include "folders/folder_messages.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm::batch {

namespace {

using Clock = std::chrono::steady_clock;

// The window's title, rewritten in place on the terminal, at most every 50 ms:
// a run of 100,000 files must not spend its time printing. It is wiped once
// the window is enabled again, before the report, which would otherwise be
// printed onto the end of the last title.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~ProgressLine() { wipe(); }
    void wipe() {
        if (shown_) err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
    void show(const std::u16string& title) {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(50)) return;
        last_ = now;
        shown_ = true;
        err_ << "\r\x1b[K" << text::toUtf8(title) << std::flush;
    }

private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point last_;
};

// Moves the focus out of a field as a click elsewhere would, running the
// field's checks; false when they keep the focus. The folder button is the
// target because it is never disabled.
bool leave(Form1& form) { return form.setFocus(form.CmdIn); }

int refuse(std::ostream& err, const std::string& why) {
    err << why << '\n';
    return kCouldNotStart;
}

// Writes a count into its field and leaves the field, as a user would, so
// that the field's own normalisation runs; says so when it changed the value.
void enterCount(Form1& form, TextBox& field, const std::u16string& value, std::ostream& err) {
    form.setFocus(field);
    field.setText(value);
    leave(form);
    if (field.text() != value) {
        err << text::toUtf8(field.name()) << "：" << text::toUtf8(value) << " → " << text::toUtf8(field.text())
            << '\n';
    }
}

// What a path looks like on the terminal.
std::string shown(const std::u16string& path) { return text::printable(path); }
std::string shown(const std::string& utf8) { return text::printable(text::fromUtf8(utf8)); }

bool stopRequested(const std::atomic<int>* stop) { return stop && stop->load() != 0; }

// Takes back the run a record describes and lists what stays.
int runUndo(const Options& options, System& system, std::ostream& out, std::ostream& err,
            const std::atomic<int>* stop) {
    const std::u16string path = system.absolutePath(*options.undo);
    const std::unique_ptr<InputFile> record = system.openInputFile(path);
    if (!record) return refuse(err, "无法读取清单：" + shown(*options.undo));
    UndoRequest request{*record, {}, {}, stop, {}};
    request.problem = [&](const UndoProblem& problem) {
        out << "未能撤销：" << shown(problem.path) << "（" << text::toUtf8(problem.reason) << "）\n";
    };
    request.checked = [&](const UndoReport& report) {
        if (report.interruptedRun && !options.quiet)
            err << "这份清单记录的是一次中断了的分发：撤销其中记下的文件。\n";
    };
    const UndoReport report = undoRun(system, request);
    if (report.refused != UndoReport::Refused::No) {
        const std::string what = report.refused == UndoReport::Refused::Busy ? "无法撤销：" : "清单无效：";
        return refuse(err, what + shown(*options.undo) + "：" + shown(report.error));
    }
    if (!report.error.empty()) err << "清单在撤销时被改动，撤销已停止：" << shown(report.error) << '\n';
    if (report.takenBack == 0 && report.left == 0 && report.error.empty() && !report.stopped) {
        if (!options.quiet) err << "没有需要撤销的文件。\n";
    } else if (!options.quiet || report.stopped) {
        err << "已撤销" << report.takenBack << "个文件。\n";
    }
    if (report.stopped) {
        err << "撤销已中断。\n";
        return stoppedExitCode(stop->load());
    }
    return report.left == 0 && report.error.empty() ? kAllTransferred : kSomeFailed;
}

// The plan of the run, one row a line, as a real run with the same seed
// would carry it out.
void printPlan(const Form1& form, const RunPlan& plan, char16_t separator, std::ostream& out) {
    out << "# seed " << plan.seed << '\n';
    const FolderNames& names = form.File1.names();
    const RowWriter rows(plan, names, separator);
    // The rows visit the names at random, a cache miss each in a table of
    // 44 MB at a million files: where a name ends is fetched ahead, and then
    // the name itself, while the rows before it are written.
    [[maybe_unused]] auto ahead = [&](std::size_t i) {
#if defined(__GNUC__)
        if (i + 16 < plan.rows.size()) __builtin_prefetch(&names.ends[plan.rows[i + 16].name]);
        if (i + 8 < plan.rows.size()) {
            const std::uint32_t name = plan.rows[i + 8].name;
            __builtin_prefetch(names.arena.data() + (name == 0 ? 0 : names.ends[name - 1]));
        }
#endif
    };
    std::string block;
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        ahead(i);
        rows.append(block, plan.rows[i]);
        block += '\n';
        // Written in large pieces: a stream call per line costs more than the line.
        if (block.size() >= 64 * 1024) {
            out << block;
            block.clear();
        }
    }
    out << block;
}

// The record's file, made before anything else: a path that cannot take it
// (taken by anything, a missing folder, no permission, no space) stops the
// run before it creates or moves a thing.
std::unique_ptr<ManifestWriter> createRecord(System& system, const std::u16string& given, std::ostream& err) {
    const std::u16string path = system.absolutePath(given);
    std::unique_ptr<RecordFile> file = system.createRecordFile(path);
    if (!file) {
        if (system.pathExists(path)) {
            err << "清单文件已经存在，不会覆盖它（它可能是另一次分发的记录）：" << shown(given) << '\n';
        } else {
            err << "无法创建清单：" << shown(given) << '\n';
        }
        return nullptr;
    }
    auto writer = std::make_unique<ManifestWriter>(std::move(file), system.pathStyle().separator);
    if (!writer->start()) {
        writer.reset();
        system.deleteFile(path);
        err << "无法写入清单（磁盘已满？）：" << shown(given) << '\n';
        return nullptr;
    }
    return writer;
}

}  // namespace

int runBatch(const Options& options, System& system, std::ostream& out, std::ostream& err, bool showProgress,
             const std::atomic<int>* stop) {
    if (options.undo) return runUndo(options, system, out, err, stop);
    // The seed is drawn here, so that it is known (and can be told) before
    // anything is dealt: any run can be repeated with --seed.
    const std::uint64_t seed = options.seed ? *options.seed : system.clockSeed();
    BatchUser user(out, err, options.move);
    Form1 form({system, user});
    form.extras.seed = seed;
    form.extras.companions = options.companions;
    form.extras.stop = stop;
    form.extras.listAfterRun = false;

    // The window only ever has absolute folders (from the dialog or a drop);
    // the command line is brought to the same form, or a relative import
    // folder or a ".." would put shares outside the export folder.
    const std::u16string importFolder = system.absolutePath(options.importFolder);
    const std::u16string exportFolder = system.absolutePath(options.exportFolder);

    // The import folder is accepted or refused as a folder chosen in the
    // dialog would be.
    if (importFolder.empty() || !form.IsUsableChoice(importFolder)) {
        WarnUnusableFolder(user);
        return refuse(err, "导入目录：" + shown(options.importFolder));
    }
    if (exportFolder.empty()) return refuse(err, "导出目录：" + shown(options.exportFolder));
    form.LDir.setCaption(importFolder);
    form.LDirOut.setCaption(exportFolder);

    // A list item counts as chosen from the list; any other text is typed
    // and must pass the box's checks when the focus leaves it.
    const auto& items = form.Combo1.items();
    if (auto it = std::find(items.begin(), items.end(), options.filter); it != items.end()) {
        form.chooseItem(form.Combo1, static_cast<std::size_t>(it - items.begin()));
    } else {
        form.setFocus(form.Combo1);
        form.Combo1.setText(options.filter);
        if (!leave(form)) return refuse(err, "文件类型：" + shown(options.filter));
    }

    if (options.perShare) {
        form.click(form.Opt1);
        enterCount(form, form.TParts, *options.perShare, err);
    } else {
        form.click(form.Opt2);
        enterCount(form, form.TDivs, options.shares.value_or(u"5"), err);
    }
    if (form.LFiles.caption() == u"0") {
        return refuse(err, "没有与 " + shown(options.filter) + " 匹配的文件：" + shown(options.importFolder));
    }
    form.click(options.fullPath ? form.Option1 : form.Option2);
    if (!options.seed && !options.quiet) err << "随机种子：" << seed << '\n';
    if (options.dryRun) {
        printPlan(form, form.PlanRun(options.move, seed), system.pathStyle().separator, out);
        return kAllTransferred;
    }

    std::unique_ptr<ManifestWriter> manifest;
    if (options.manifest) {
        manifest = createRecord(system, *options.manifest, err);
        if (!manifest) return kCouldNotStart;
        form.extras.recorder = manifest.get();
    }
    if (stopRequested(stop)) return stoppedExitCode(stop->load());
    if (options.move) form.click(form.ChBackUp);

    ProgressLine progress(err, showProgress && !options.quiet);
    form.observe([&] {
        if (form.enabled()) {
            progress.wipe();
        } else {
            progress.show(form.caption());
        }
    });
    if (!form.click(form.CmdDo)) return refuse(err, "无法开始分发");
    form.observe(nullptr);

    const RunResult& result = form.lastRun();
    if (result.busy) {
        if (manifest) {
            manifest.reset();
            system.deleteFile(system.absolutePath(*options.manifest));
        }
        return refuse(err, "一次撤销正在使用这些文件夹，请等它结束：" + shown(form.ShareRoot()));
    }
    if (!result.failureLog.empty()) out << shown(result.failureLog) << '\n';
    if (result.recordLost) {
        err << "清单无法写入，分发已停止：" << shown(*options.manifest);
        if (result.notDealt != 0) err << "（" << result.notDealt << "个文件未分发）";
        err << '\n';
        return kSomeFailed;
    }
    if (result.stopped) {
        err << "分发已中断：" << result.notDealt << "个文件未分发。\n";
        return stoppedExitCode(stop->load());
    }
    return result.failed == 0 ? kAllTransferred : kSomeFailed;
}

}  // namespace qm::batch
