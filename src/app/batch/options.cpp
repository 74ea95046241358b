#include "app/batch/options.h"

#include <charconv>

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

ParseResult parseOptions(const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    bool haveImport = false, haveExport = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                r.error = "选项 " + arg + " 缺少取值";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--import" || arg == "--export") {
            if (!value(v)) return r;
            if (v.empty()) {
                r.error = "选项 " + arg + " 的目录不能为空";
                return r;
            }
            (arg == "--import" ? o.importFolder : o.exportFolder) = text::fromUtf8(v);
            (arg == "--import" ? haveImport : haveExport) = true;
        } else if (arg == "--filter") {
            if (!value(v)) return r;
            o.filter = text::fromUtf8(v);
        } else if (arg == "--per-share" || arg == "--shares") {
            if (!value(v)) return r;
            std::optional<std::u16string> count = positiveCount(v);
            if (!count) {
                r.error = arg + " 需要一个正整数：" + v;
                return r;
            }
            (arg == "--per-share" ? o.perShare : o.shares) = std::move(count);
        } else if (arg == "--seed") {
            if (!value(v)) return r;
            std::uint64_t seed = 0;
            if (!parseSeed(v, seed)) {
                r.error = "--seed 需要一个非负整数：" + v;
                return r;
            }
            o.seed = seed;
        } else if (arg == "--move") {
            o.move = true;
        } else if (arg == "--full-path") {
            o.fullPath = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else {
            r.error = "未知的参数：" + arg;
            return r;
        }
    }
    if (o.help) return r;
    if (o.perShare && o.shares) {
        r.error = "--per-share 与 --shares 只能选用其一";
    } else if (!haveImport) {
        r.error = "缺少 --import 导入目录";
    } else if (!haveExport) {
        r.error = "缺少 --export 导出目录";
    }
    return r;
}

std::string helpText() {
    return R"(用法：quillmarsh-batch --import 目录 --export 目录 [选项]

把导入目录中与文件类型匹配的文件随机分发到导出目录下编号的分发文件夹中。

  --import 目录       导入目录（源文件夹）；相对路径以当前目录为准
  --export 目录       导出目录，分发文件夹建在其中；相对路径以当前目录为准
  --filter 文本       文件类型，默认 "*.*"；可用列表中的一项（如 "所有"、"常用图片格式"、
                      "*.jpg;*.jpeg;*.jpe;*.jfi"），或形如 "*.扩展名" 的类型
  --per-share P       固定分发：每份抽取 P 个文件（正整数），余下的文件另成一份
  --shares D          平均分发：均分为 D 份（正整数），余下的文件另成一份
                      （两者都不给时：平均分发 5 份；两者不能同时给出）
  --move              移走原文件（代替复制）
  --full-path         保留原全路径结构（默认仅保留源文件夹名）
  --seed N            用 N 作为随机种子：相同的种子、文件与设置得到相同的分发
                      （默认以当前时钟为种子）
  --quiet             不显示进度
  --help              显示本说明

退出码：0 全部分发成功；1 有文件分发失败（并给出分发失败记录的路径）；
        2 无法开始（参数有误、导入目录不可用、没有匹配的文件），此时不创建也不移动任何文件。
)";
}

}  // namespace qm::batch
