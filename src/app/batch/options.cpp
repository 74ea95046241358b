#include "app/batch/options.h"

#include <charconv>

#include "app/command_line/help_layout.h"
#include "app/version.h"
#include "text/utf.h"

namespace qm::batch {

namespace {

bool parseSeed(const std::string& text, std::uint64_t& seed) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// A count is a positive whole number in plain digits; it is handed on
// without leading zeros. Anything else (0, a sign, a fraction, an exponent,
// "nan", nothing) would leave the run guessing what was meant.
std::optional<std::u16string> positiveCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::size_t first = text.find_first_not_of('0');
    if (first == std::string::npos) return std::nullopt;
    return text::fromUtf8(std::string_view(text).substr(first));
}

}  // namespace

namespace {

using Spec = cli::OptionSpec;
using Value = cli::OptionSpec::Value;

// In the order --help lists them: what a run needs, how it deals, what it
// makes, then the rest.
constexpr Spec kOptions[] = {
    {"import", 0, Value::Folder, "目录", "导入目录（源文件夹）；相对路径以当前目录为准"},
    {"export", 0, Value::Folder, "目录",
     "导出目录，分发文件夹建在其中；不存在、不是文件夹\n"
     "或不能写入时不分发；相对路径以当前目录为准"},
    {"filter", 0, Value::Text, "文本",
     "文件类型，默认 \"*.*\"；可用列表中的一项（如 \"所有\"、\n"
     "\"常用图片格式\"、\"*.jpg;*.jpeg;*.jpe;*.jfi\"），\n"
     "或形如 \"*.扩展名\" 的类型"},
    {"per-share", 0, Value::Text, "P",
     "固定分发：每份抽取 P 个文件（正整数），\n"
     "余下的文件另成一份"},
    {"shares", 0, Value::Text, "D",
     "平均分发：均分为 D 份（正整数），余下的文件另成一份\n"
     "（两者都不给时：平均分发 5 份；两者不能同时给出）"},
    {"ratio", 0, Value::Text, "W1:W2:...",
     "按比例分发（代替 --per-share 与 --shares）：\n"
     "2 到 1000 个正整数，第 k 份得到 N×Wk/W 取整，\n"
     "余下的文件逐个给余数最大的份；不另成一份"},
    {"names", 0, Value::Text, "A,B,...",
     "与 --ratio 同用，每个比例一个名称：\n"
     "分发文件夹以名称代替编号（照片_分发张三）"},
    {"subfolders", 0, Value::None, "",
     "连同所有子文件夹中的文件一起分发，每个文件在其份中\n"
     "保留所在的子文件夹；不进入链接到别处的文件夹\n"
     "（在报告中计数）"},
    {"by-folder", 0, Value::None, "",
     "与 --subfolders 同用：每个文件夹中的文件各自按份数\n"
     "或比例分发，使每份都得到每个文件夹的一部分"},
    {"link", 0, Value::Text, "方式",
     "以链接代替复制：hard（硬链接）、symbolic（指向源文件\n"
     "绝对路径的符号链接）、clone（写时复制的克隆；不能克隆\n"
     "时照常复制，并在报告中计数）；不能与 --move 同用",
     "hard symbolic clone"},
    {"lists", 0, Value::None, "",
     "不复制任何文件，只在导出目录中为每份写一个清单\n"
     "<分发根><k>.txt（或 <分发根><名称>.txt），每行一个\n"
     "文件相对于导入目录的路径；不能与 --move 同用"},
    {"common", 0, Value::Text, "K",
     "随机抽出 K 个共同文件放进每一份（复制、链接或列出，\n"
     "从不移走），其余照常分发；共同文件的名字列在\n"
     "<分发根>共同.txt 中；K 须小于文件数"},
    {"jobs", 0, Value::Text, "N",
     "同时进行的传输数（1 到 64）；默认足以让冷盘与网络\n"
     "共享保持忙碌，也可用环境变量 QUILLMARSH_JOBS 指定；\n"
     "--jobs 1 一个接一个；无论多少，相同的种子分发相同的\n"
     "文件到相同的份"},
    {"move", 0, Value::None, "", "移走原文件（代替复制）"},
    {"full-path", 0, Value::None, "", "保留原全路径结构（默认仅保留源文件夹名）"},
    {"seed", 0, Value::Text, "N",
     "用 N 作为随机种子：相同的种子、文件与设置得到相同的\n"
     "分发（默认以当前时钟为种子，并在标准错误输出\n"
     "“随机种子：N”）"},
    {"companions", 0, Value::None, "",
     "伴随文件：名字只有扩展名不同的文件（如 IMG_1.jpg 与\n"
     "IMG_1.xml）随同一起分到同一份，即使文件类型不匹配；\n"
     "份数只按被分发的文件计算"},
    {"dry-run", 0, Value::None, "",
     "只显示分发计划，不建文件夹、不动任何文件、不写记录：\n"
     "第一行 \"# seed N\"，之后每个文件一行：\n"
     "份号<TAB>源路径<TAB>目标路径（按分发顺序；相同的\n"
     "种子与文件夹，实际分发与之完全相同）"},
    {"manifest", 0, Value::File, "文件",
     "记下这次分发：分发开始之前就建立这个文件（已有同名的\n"
     "文件、文件夹或设备时不会覆盖，退出码 2），每个文件在\n"
     "放进分发文件夹之前就记下一行：份号<TAB>源路径<TAB>\n"
     "目标路径<TAB>结果<TAB>大小<TAB>修改时间<TAB>文件标识；\n"
     "结果为 moved、copied、linked、symlinked、cloned、\n"
     "listed、identical（已有相同文件）或 failed；\n"
     "最后一行 \"# end\"。分发被中断或被强行终止时，\n"
     "清单照样可以用来撤销"},
    {"undo", 0, Value::File, "文件",
     "按清单撤销那次分发（中断了的分发也可以）：移走的文件\n"
     "在仍是那个文件、未被改动、原处无同名文件时移回；\n"
     "复制的副本在仍是那个文件、原文件是另一个内容相同的\n"
     "文件时删除；清空的分发文件夹随之删除。其余一概不动，\n"
     "不进入被换成链接的文件夹，无法撤销的文件逐个列出原因"},
    {"quiet", 0, Value::None, "",
     "不显示进度、随机种子与提示：分发成功时什么也不显示\n"
     "（错误与分发失败记录的路径仍在标准错误输出）"},
    {"help", 'h', Value::None, "", "显示本说明"},
    {"version", 0, Value::None, "", "显示版本"},
};

}  // namespace

std::span<const cli::OptionSpec> optionTable() { return kOptions; }

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    const cli::ParsedCommandLine line = cli::parseCommandLine(kOptions, args);
    if (!line.error.empty()) {
        r.error = line.error;
        return r;
    }
    bool haveImport = false, haveExport = false;
    for (const cli::ParsedOption& option : line.options) {
        const std::string arg = cli::join({"--", option.name});
        const std::string& v = option.value;
        if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--import" || arg == "--export") {
            if (v.empty()) {
                r.error = "选项 " + arg + " 的目录不能为空";
                return r;
            }
            (arg == "--import" ? o.importFolder : o.exportFolder) = text::fromUtf8(v);
            (arg == "--import" ? haveImport : haveExport) = true;
        } else if (arg == "--filter") {
            o.filter = text::fromUtf8(v);
        } else if (arg == "--per-share" || arg == "--shares") {
            std::optional<std::u16string> count = positiveCount(v);
            if (!count) {
                r.error = arg + " 需要一个正整数：" + v;
                return r;
            }
            (arg == "--per-share" ? o.perShare : o.shares) = std::move(count);
        } else if (arg == "--seed") {
            std::uint64_t seed = 0;
            if (!parseSeed(v, seed)) {
                r.error = "--seed 需要一个非负整数：" + v;
                return r;
            }
            o.seed = seed;
        } else if (arg == "--manifest" || arg == "--undo") {
            if (v.empty()) {
                r.error = "选项 " + arg + " 的文件不能为空";
                return r;
            }
            (arg == "--manifest" ? o.manifest : o.undo) = text::fromUtf8(v);
        } else if (arg == "--ratio" || arg == "--names") {
            (arg == "--ratio" ? o.ratio : o.names) = text::fromUtf8(v);
        } else if (arg == "--link") {
            if (v != "hard" && v != "symbolic" && v != "clone") {
                r.error = "--link 只能是 hard、symbolic 或 clone：" + v;
                return r;
            }
            o.link = v;
        } else if (arg == "--common") {
            std::uint64_t common = 0;
            if (!parseSeed(v, common) || common == 0) {
                r.error = "--common 需要一个正整数：" + v;
                return r;
            }
            o.common = common;
        } else if (arg == "--jobs") {
            std::uint64_t jobs = 0;
            if (!parseSeed(v, jobs) || jobs == 0 || jobs > 64) {
                r.error = "--jobs 需要 1 到 64 之间的整数：" + v;
                return r;
            }
            o.jobs = static_cast<unsigned>(jobs);
        } else if (arg == "--subfolders") {
            o.subfolders = true;
        } else if (arg == "--by-folder") {
            o.byFolder = true;
        } else if (arg == "--lists") {
            o.lists = true;
        } else if (arg == "--dry-run") {
            o.dryRun = true;
        } else if (arg == "--companions") {
            o.companions = true;
        } else if (arg == "--move") {
            o.move = true;
        } else if (arg == "--full-path") {
            o.fullPath = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        }
    }
    if (o.help || o.version) return r;
    if (!line.operands.empty()) {
        // Every folder and file is named by its option: a word on its own
        // is a slip (an option's value cut off by a space, say).
        r.error = "多余的参数：" + line.operands.front();
        return r;
    }
    if (o.undo) {
        // An undo reads everything it needs from the manifest.
        const bool runOptions = haveImport || haveExport || o.perShare || o.shares || o.move || o.fullPath ||
                                o.seed || o.dryRun || o.manifest || o.companions || o.filter != u"*.*" || o.ratio ||
                                o.names || o.subfolders || o.byFolder || o.link || o.lists || o.common || o.jobs;
        if (runOptions) r.error = "--undo 只能与 --quiet 同用";
        return r;
    }
    if (o.dryRun && o.manifest) {
        r.error = "--dry-run 不做任何分发，不能与 --manifest 同用";
    } else if (o.perShare && o.shares) {
        r.error = "--per-share 与 --shares 只能选用其一";
    } else if (o.ratio && (o.perShare || o.shares)) {
        r.error = "--ratio 不能与 --per-share 或 --shares 同用";
    } else if (o.names && !o.ratio) {
        r.error = "--names 只能与 --ratio 同用";
    } else if (o.byFolder && !o.subfolders) {
        r.error = "--by-folder 只能与 --subfolders 同用";
    } else if (o.byFolder && o.perShare) {
        r.error = "--by-folder 不能与 --per-share 同用（按子文件夹分别分发的是份数或比例）";
    } else if (o.move && (o.link || o.lists || o.common)) {
        r.error = std::string(o.link ? "--link" : o.lists ? "--lists" : "--common") + " 不能与 --move 同用";
    } else if (o.lists && o.link) {
        r.error = "--lists 不做任何分发，不能与 --link 同用";
    } else if (!haveImport) {
        r.error = "缺少 --import 导入目录";
    } else if (!haveExport) {
        r.error = "缺少 --export 导出目录";
    }
    return r;
}

std::string helpText() {
    return "用法：quillmarsh-batch --import 目录 --export 目录 [选项]\n"
           "      quillmarsh-batch --undo 清单 [--quiet]\n"
           "\n"
           "把导入目录中与文件类型匹配的文件随机分发到导出目录下编号的分发文件夹中。\n"
           "\n"
           "取值写作 --选项 值 或 --选项=值；选项名只要不致混淆即可缩写（--per 即\n"
           "--per-share）；-- 之后不再有选项。\n"
           "\n" +
           cli::optionsHelp(kOptions) +
           "\n"
           "路径中的反斜杠、制表符、换行与回车写作 \\\\、\\t、\\n、\\r，其他控制字符与\n"
           "不是 UTF-8 的字节写作 \\xHH，C1 控制字符写作 \\u0080 至 \\u009F。\n"
           "\n"
           "退出码：\n"
           "  0    全部分发（或撤销）成功\n"
           "  1    有文件分发失败（并给出分发失败记录的路径）或未能撤销\n"
           "  2    无法开始，此时不创建也不移动任何文件：参数有误、导入目录或导出\n"
           "       目录不可用、文件类型有误、没有匹配的文件、清单无法建立或读取、\n"
           "       另一次撤销正在进行\n"
           "  130  被 Ctrl+C 中断（SIGTERM：143）：手上的文件做完，其余未分发，\n"
           "       清单与失败记录照常关闭\n"
           "\n" +
           bugReportLine();
}

}  // namespace qm::batch
