#include "app/qt/window_arguments.h"

#include <charconv>

#include "app/command_line/command_line.h"
#include "app/command_line/help_layout.h"
#include "app/version.h"
#include "text/utf.h"

namespace qm::desktop {

namespace {

using Value = cli::OptionSpec::Value;

constexpr cli::OptionSpec kOptions[] = {
    {"screenshot", 0, Value::File, "文件.png", "载入窗口后把它保存为 PNG 图片并退出（不显示窗口）"},
    {"tab", 0, Value::Text, "次数", "保存之前先按这么多次 Tab 键（与 --screenshot 同用）"},
    {"help", 'h', Value::None, "", "显示本说明并退出"},
    {"version", 0, Value::None, "", "显示版本并退出"},
};

constexpr char kUsage[] = "用法：quillmarsh [--screenshot 文件.png [--tab 次数]]\n";

// Built by appending: GCC 12 at -O3 warns falsely on a chain of literals
// and strings joined with "+".
std::string helpText() {
    std::string text = kUsage;
    text += "打开“文件随机分发”窗口：把导入目录中的文件随机分发到导出目录下\n"
            "编号的分发文件夹中。\n\n";
    text += cli::optionsHelp(kOptions);
    text += "\n命令行分发见 quillmarsh-batch --help。\n";
    text += bugReportLine();
    return text;
}

WindowArguments mistake(const std::string& why) {
    WindowArguments answer;
    answer.action = WindowArguments::Action::Answered;
    answer.exitCode = 2;
    // The message may quote an argument: shown as a terminal can safely take it.
    answer.err = "quillmarsh: " + text::printable(text::fromUtf8(why)) + "\n（quillmarsh --help 显示说明）\n";
    return answer;
}

}  // namespace

WindowArguments readWindowArguments(const std::vector<std::string>& args) {
    const cli::ParsedCommandLine line = cli::parseCommandLine(kOptions, args);
    if (!line.error.empty()) return mistake(line.error);
    WindowArguments result;
    for (const cli::ParsedOption& option : line.options) {
        // The first of --help and --version answers, as with GNU's tools.
        if (option.name == "help" || option.name == "version") {
            WindowArguments answer;
            answer.action = WindowArguments::Action::Answered;
            answer.out = option.name == "version" ? versionText("quillmarsh") : helpText();
            return answer;
        }
    }
    for (const cli::ParsedOption& option : line.options) {
        if (option.name == "screenshot") {
            if (option.value.empty()) return mistake("选项 --screenshot 的文件不能为空");
            result.screenshot = option.value;
        } else if (option.name == "tab") {
            const std::string& v = option.value;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), result.tabs);
            if (ec != std::errc() || end != v.data() + v.size() || v.empty() || result.tabs < 0)
                return mistake("--tab 需要一个非负整数：" + v);
        }
    }
    if (!line.operands.empty()) return mistake("多余的参数：" + line.operands.front());
    if (result.tabs > 0 && result.screenshot.empty()) return mistake("--tab 只能与 --screenshot 同用");
    return result;
}

}  // namespace qm::desktop
