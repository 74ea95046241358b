#include "app/batch/batch_run.h"

#include <algorithm>
#include <chrono>

#include "engine/completion_message.h"
#include "engine/failure_log.h"
#include "engine/record_marks.h"
#include "engine/record_writer.h"
#include "engine/run_plan.h"
#include "engine/run_session.h"
#include "engine/source_list.h"
#include "engine/undo.h"
#include "folders/usable_folder.h"
#include "settings/count_rules.h"
#include "settings/deal_rules.h"
#include "settings/filter_check.h"
#include "text/number.h"
#include "text/utf.h"
#include "window/layout.h"

namespace qm::batch {

namespace {

using Clock = std::chrono::steady_clock;

// The run's progress, rewritten in place on the terminal, at most every
// 50 ms: a run of 100,000 files must not spend its time printing. It is
// wiped before the report, which would otherwise be printed onto its end.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    ~ProgressLine() { wipe(); }
    void wipe() {
        if (shown_) err_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
    void show(std::uint64_t position, std::uint64_t total) {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (shown_ && now - last_ < std::chrono::milliseconds(50)) return;
        last_ = now;
        shown_ = true;
        err_ << "\r\x1b[K正在随机分发，请稍候..." << position + 1 << '/' << total << std::flush;
    }

private:
    std::ostream& err_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point last_;
};

int refuse(std::ostream& err, const std::string& why) {
    err << kProgramName << ": " << why << '\n';
    return kCouldNotStart;
}

// Why a folder or file cannot be used, in the user's words.
std::string reason(System::PathState state) {
    switch (state) {
        case System::PathState::Missing:
            return "不存在";
        case System::PathState::NotAFolder:
            return "不是文件夹";
        case System::PathState::NotAFile:
            return "不是普通文件";
        case System::PathState::NoPermission:
            return "没有权限";
        case System::PathState::ReadOnly:
            return "所在的文件系统是只读的";
        case System::PathState::Usable:
        case System::PathState::Unusable:
            break;
    }
    return "无法使用";
}

// The folder a file is to be made in: the path up to its last separator.
std::u16string folderOf(const std::u16string& path, char16_t separator) {
    const std::size_t last = path.find_last_of(separator);
    return last == std::u16string::npos ? std::u16string() : path.substr(0, last == 0 ? 1 : last);
}

// What a path looks like on the terminal.
std::string shown(const std::u16string& path) { return text::printable(path); }
std::string shown(const std::string& utf8) { return text::printable(text::fromUtf8(utf8)); }

// A message of several lines (as the window's boxes have them, CR LF
// between) as a terminal shows it; no control character reaches it raw.
void printLines(std::ostream& stream, std::u16string_view message) {
    for (;;) {
        const std::size_t end = message.find(u"\r\n");
        stream << text::printable(message.substr(0, end)) << '\n';
        if (end == std::u16string_view::npos) break;
        message.remove_prefix(end + 2);
    }
}

bool stopRequested(const std::atomic<int>* stop) { return stop && stop->load() != 0; }

// Takes back the run a record describes and lists what stays.
int runUndo(const Options& options, System& system, std::ostream& out, std::ostream& err,
            const std::atomic<int>* stop) {
    const std::u16string path = system.absolutePath(*options.undo);
    const std::unique_ptr<InputFile> record = system.openInputFile(path);
    if (!record) {
        const System::PathState state = system.pathState(path, System::Use::ReadFile);
        return refuse(err, "无法读取清单：" + shown(*options.undo) + "：" +
                               (state == System::PathState::Usable ? std::string("无法打开") : reason(state)));
    }
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
    if (!report.error.empty()) err << kProgramName << ": 清单在撤销时被改动，撤销已停止：" << shown(report.error) << '\n';
    // Taken back as far as it can be: marked so, whoever made it (the
    // window does not offer a run the command line took back).
    if (!report.stopped && report.error.empty()) markUndone(system, path);
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
void printPlan(const FolderNames& names, const RunPlan& plan, char16_t separator, std::ostream& out) {
    out << "# seed " << plan.seed << '\n';
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

// The filter's pattern: an item of the filter box's list is taken as it
// is; any other text must pass the rules a typed filter must pass.
std::optional<std::u16string> patternFor(const std::u16string& filter, std::ostream& err) {
    const auto& items = filterItems();
    if (std::find(items.begin(), items.end(), filter) == items.end()) {
        if (const std::optional<std::u16string> problem = typedFilterProblem(filter)) {
            err << kProgramName << ": 文件类型有误：" << shown(filter) << '\n';
            printLines(err, *problem);
            return std::nullopt;
        }
    }
    return filterPattern(filter);
}

// A count more than the matching files is cut to their number, as the count
// fields are, and the user is told so in words.
std::uint64_t countFor(const Options& options, std::uint64_t files, std::ostream& err) {
    const char* const notice = options.quiet ? nullptr : kProgramName;
    const bool fixed = options.perShare.has_value();
    const std::u16string asked = fixed ? *options.perShare : options.shares.value_or(u"5");
    const double value = leadingNumber(asked);
    const NormalizedCount count = normalizedCount(value, static_cast<double>(files), fixed ? 50 : 1);
    const std::uint64_t result = count.fileCount ? files : count.value;
    if (text::decimal(result) != asked && notice) {
        if (fixed) {
            err << notice << ": 每份文件数" << text::toUtf8(asked) << "多于匹配的文件数" << files << "，每份按" << result
                << "个分发。\n";
        } else {
            err << notice << ": 份数" << text::toUtf8(asked) << "多于匹配的文件数" << files << "，按" << result << "份分发。\n";
        }
    }
    return result;
}

}  // namespace

int runBatch(const Options& options, System& system, std::ostream& out, std::ostream& err, bool showProgress,
             const std::atomic<int>* stop) {
    if (options.undo) return runUndo(options, system, out, err, stop);
    // The seed is drawn here, so that it is known (and can be told) before
    // anything is dealt: any run can be repeated with --seed.
    const std::uint64_t seed = options.seed ? *options.seed : system.clockSeed();

    // The window only ever has absolute folders (from the dialog or a drop);
    // the command line is brought to the same form, or a relative import
    // folder or a ".." would put shares outside the export folder.
    const char16_t separator = system.pathStyle().separator;
    RunRequest request;
    request.importFolder = system.absolutePath(options.importFolder);
    request.exportFolder = system.absolutePath(options.exportFolder);
    // The import folder is accepted or refused as a folder chosen in the
    // dialog would be, and the user is told why.
    if (request.importFolder.empty() || !isUsableFolder(system, request.importFolder)) {
        System::PathState state = system.pathState(request.importFolder, System::Use::ReadFolder);
        std::string why = reason(state);
        if (state == System::PathState::Usable)
            why = options.importFolder.find(u'{') != std::u16string::npos ? "名字中有“{”" : "无法读取";
        return refuse(err, "导入目录不可用：" + shown(options.importFolder) + "：" + why);
    }
    // The export folder must take new folders: a run into a file or an
    // unwritable folder would only fail every file and leave a failure log.
    // One that is not there is refused too: a mistyped export name would
    // otherwise quietly grow a new tree beside the one the user meant.
    if (const System::PathState state = system.pathState(request.exportFolder, System::Use::WriteFolder);
        state != System::PathState::Usable)
        return refuse(err, "导出目录不可用：" + shown(options.exportFolder) + "：" + reason(state));
    // The environment's number of workers is held to what --jobs takes: a
    // value that is none is refused, not quietly passed over. (The window,
    // which has no terminal to say it on, deals with its default then.)
    std::optional<unsigned> jobs = options.jobs;
    if (!jobs) {
        const std::u16string asked = system.environmentVariable(u"QUILLMARSH_JOBS");
        jobs = jobsIn(asked);
        if (!asked.empty() && (!jobs || *jobs > 64))
            return refuse(err, "环境变量 QUILLMARSH_JOBS 需要 1 到 64 之间的整数：" + shown(asked));
    }

    const std::optional<std::u16string> pattern = patternFor(options.filter, err);
    if (!pattern) return kCouldNotStart;
    if (options.ratio) {
        if (const auto problem = ratioProblem(*options.ratio, request.ratio))
            return refuse(err, "--ratio：" + text::toUtf8(*problem) + "：" + shown(*options.ratio));
    }
    if (options.names) {
        request.shareNames = shareNamesIn(*options.names);
        if (const auto problem = shareNamesProblem(request.shareNames, request.ratio.size(), separator == u'\\'))
            return refuse(err, "--names：" + text::toUtf8(*problem));
    }
    request.keepWholePath = options.fullPath;
    request.subfolders = options.subfolders;
    request.byFolder = options.byFolder;
    SourceList sources(system, *pattern);
    // A run into its own import folder never deals from its own shares.
    sources.setTree(options.subfolders, shareRootOf(request, system.pathStyle()));
    sources.read(request.importFolder, *pattern);
    if (sources.count() == 0) {
        return refuse(err, "没有与 " + shown(options.filter) + " 匹配的文件：" + shown(options.importFolder));
    }
    if (options.common && *options.common >= sources.count()) {
        return refuse(err, "--common：共同文件数" + std::to_string(*options.common) + "须小于匹配的文件数" +
                               std::to_string(sources.count()));
    }
    request.mode = options.perShare ? RunRequest::Mode::Fixed : RunRequest::Mode::Average;
    if (request.ratio.empty()) request.count = countFor(options, sources.count(), err);
    request.move = options.move;
    request.seed = seed;
    request.companions = options.companions;
    request.lists = options.lists;
    request.jobs = jobs;
    request.common = options.common.value_or(0);
    if (options.link) {
        request.link = *options.link == "hard"       ? RunRequest::Link::Hard
                       : *options.link == "symbolic" ? RunRequest::Link::Symbolic
                                                     : RunRequest::Link::Clone;
    }
    if (options.manifest) {
        request.record = RunRequest::Record::Manifest;
        request.manifest = *options.manifest;
    }
    if (!options.seed && !options.quiet) err << "随机种子：" << seed << '\n';
    RunPlan plan = planRun(request, sources, system.pathStyle());
    if (options.dryRun) {
        printPlan(sources.names(), plan, separator, out);
        return kAllTransferred;
    }
    if (stopRequested(stop)) return stoppedExitCode(stop->load());

    const std::u16string shareRoot = plan.shareRoot;
    ProgressLine progress(err, showProgress && !options.quiet);
    RunCallbacks callbacks;
    callbacks.stop = stop;
    callbacks.starting = [&] {
        if (options.move && !options.quiet) out << "在分发的同时移走原文件？\n";
    };
    callbacks.progress = [&](std::uint64_t position, std::uint64_t total) { progress.show(position, total); };
    RunResult result = runPlan(system, request, plan, sources.names(), callbacks);
    result.linkedFolders = sources.linkedFolders();
    progress.wipe();

    if (result.busy) return refuse(err, "一次撤销正在使用这些文件夹，请等它结束：" + shown(shareRoot));
    switch (result.manifest) {
        case RunResult::Manifest::Made:
            break;
        case RunResult::Manifest::Taken:
            return refuse(err, "清单文件已经存在，不会覆盖它（它可能是另一次分发的记录）：" + shown(*options.manifest));
        case RunResult::Manifest::NotMade: {
            const std::u16string folder = folderOf(system.absolutePath(*options.manifest), separator);
            const System::PathState state = system.pathState(folder, System::Use::WriteFolder);
            return refuse(err, "无法创建清单：" + shown(*options.manifest) + "：" +
                                   (state == System::PathState::Usable ? std::string("无法创建")
                                                                       : "所在的文件夹" + reason(state)));
        }
        case RunResult::Manifest::Full:
            return refuse(err, "无法写入清单（磁盘已满？）：" + shown(*options.manifest));
    }
    // Quiet, a run that went well says nothing; what failed and where the
    // failure log is are still told, on the error stream.
    const bool failures = result.failed != 0 || result.listsFailed != 0;
    if (!options.quiet || failures) {
        std::ostream& report = options.quiet ? err : out;
        printLines(report, CompletionMessage(result));
        if (!result.failureLog.empty()) report << shown(result.failureLog) << '\n';
    }
    if (result.failed == 0) FailureLog(system).removeEarlier();
    if (result.recordLost) {
        err << kProgramName << ": 清单无法写入，分发已停止：" << shown(*options.manifest);
        if (result.notDealt != 0) err << "（" << result.notDealt << "个文件未分发）";
        err << '\n';
        return kSomeFailed;
    }
    if (result.stopped) {
        err << "分发已中断：" << result.notDealt << "个文件未分发。\n";
        return stoppedExitCode(stop->load());
    }
    return result.failed == 0 && result.listsFailed == 0 ? kAllTransferred : kSomeFailed;
}

}  // namespace qm::batch
