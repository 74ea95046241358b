#include "app/batch/batch_run.h"

#include <algorithm>
#include <chrono>

#include "app/batch/batch_platform.h"
#include "engine/manifest.h"
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

// Takes back the run a manifest records and lists what stays.
int runUndo(const Options& options, Platform& system, std::ostream& out, std::ostream& err) {
    const std::u16string path = system.absolutePath(*options.undo);
    const std::optional<std::string> bytes = system.readFile(path);
    if (!bytes) return refuse(err, "无法读取清单：" + text::toUtf8(*options.undo));
    std::string why;
    const std::optional<Manifest> manifest = parseManifest(*bytes, why);
    if (!manifest) return refuse(err, "清单无效：" + text::toUtf8(*options.undo) + "：" + why);
    const UndoReport report = undoRun(system, *manifest);
    for (const UndoProblem& problem : report.problems)
        out << "未能撤销：" << text::toUtf8(problem.path) << "（" << text::toUtf8(problem.reason) << "）\n";
    if (!options.quiet) err << "已撤销" << report.takenBack << "个文件。\n";
    return report.problems.empty() ? kAllTransferred : kSomeFailed;
}

// The plan of the run, one row a line, as a real run with the same seed
// would carry it out.
void printPlan(const Form1& form, const RunPlan& plan, char16_t separator, std::ostream& out) {
    out << "# seed " << plan.seed << '\n';
    const RowWriter rows(plan, form.File1, separator);
    std::string line;
    for (const RunRow& row : plan.rows) {
        line.clear();
        rows.append(line, row);
        out << line << '\n';
    }
}

}  // namespace

int runBatch(const Options& options, Platform& system, std::ostream& out, std::ostream& err, bool showProgress) {
    if (options.undo) return runUndo(options, system, out, err);
    // The seed is drawn here, so that it is known (and can be told) before
    // anything is dealt: any run can be repeated with --seed.
    const std::uint64_t seed = options.seed ? *options.seed : system.clockSeed();
    BatchPlatform platform(system, out, err, options.move, seed);
    Form1 form(platform);
    form.extras.companions = options.companions;

    // The window only ever has absolute folders (from the dialog or a drop);
    // the command line is brought to the same form, or a relative import
    // folder or a ".." would put shares outside the export folder.
    const std::u16string importFolder = platform.absolutePath(options.importFolder);
    const std::u16string exportFolder = platform.absolutePath(options.exportFolder);

    // The import folder is accepted or refused as a folder chosen in the
    // dialog would be.
    if (importFolder.empty() || !form.IsUsableChoice(importFolder)) {
        WarnUnusableFolder(platform);
        return refuse(err, "导入目录：" + text::toUtf8(options.importFolder));
    }
    if (exportFolder.empty()) return refuse(err, "导出目录：" + text::toUtf8(options.exportFolder));
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
        if (!leave(form)) return refuse(err, "文件类型：" + text::toUtf8(options.filter));
    }

    if (options.perShare) {
        form.click(form.Opt1);
        enterCount(form, form.TParts, *options.perShare, err);
    } else {
        form.click(form.Opt2);
        enterCount(form, form.TDivs, options.shares.value_or(u"5"), err);
    }
    if (form.LFiles.caption() == u"0") {
        return refuse(err, "没有与 " + text::toUtf8(options.filter) + " 匹配的文件：" +
                               text::toUtf8(options.importFolder));
    }
    form.click(options.fullPath ? form.Option1 : form.Option2);
    if (!options.seed && !options.quiet) err << "随机种子：" << seed << '\n';
    if (options.dryRun) {
        printPlan(form, form.PlanRun(options.move, seed), platform.pathStyle().separator, out);
        return kAllTransferred;
    }

    // The manifest's file is made before the run: a run that could not be
    // recorded does not start.
    std::optional<ManifestWriter> manifest;
    if (options.manifest) {
        std::unique_ptr<PendingFile> file = platform.createPendingFile(platform.absolutePath(*options.manifest));
        if (!file) return refuse(err, "无法写入清单：" + text::toUtf8(*options.manifest));
        manifest.emplace(std::move(file), platform.pathStyle().separator);
        form.extras.recorder = &*manifest;
    }
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

    const bool manifestLost = manifest && !manifest->written();
    if (manifestLost) err << "清单无法写入：" << text::toUtf8(*options.manifest) << '\n';
    // "分发完毕！" alone, or followed by lines about copies and companions.
    const std::u16string& report = platform.lastMessage();
    if (report == u"分发完毕！" || report.starts_with(u"分发完毕！\r\n"))
        return manifestLost ? kSomeFailed : kAllTransferred;
    const auto logs = platform.failureLogPaths();
    for (const std::u16string& opened : platform.opened()) {
        if (std::find(logs.begin(), logs.end(), opened) != logs.end()) out << text::toUtf8(opened) << '\n';
    }
    return kSomeFailed;
}

}  // namespace qm::batch
