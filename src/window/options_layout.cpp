#include "window/options_layout.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace qm {

namespace {

using K = ControlKind;

constexpr char16_t kDialog[] = u"DealOptions";

ControlSpec row(int tab, std::u16string name, K kind, std::u16string container, std::u16string caption, Twips g) {
    ControlSpec s;
    s.tabIndex = tab;
    s.name = std::move(name);
    s.kind = kind;
    s.container = std::move(container);
    s.caption = std::move(caption);
    s.geometry = g;
    return s;
}

std::vector<ControlSpec> buildLayout() {
    std::vector<ControlSpec> t;
    int tab = 0;
    auto add = [&](std::u16string name, K kind, std::u16string container, std::u16string caption, Twips g) -> ControlSpec& {
        return t.emplace_back(row(tab++, std::move(name), kind, std::move(container), std::move(caption), g));
    };
    add(u"ChSubfolders", K::CheckBox, kDialog, u"包含子文件夹(&S)", {240, 180, 3600, 255});
    add(u"ChByFolder", K::CheckBox, kDialog, u"按子文件夹分别分发(&F)", {600, 480, 3600, 255}).enabled = false;
    add(u"ChRatio", K::CheckBox, kDialog, u"按比例分发(&R)", {240, 840, 3600, 255});
    add(u"LWeights", K::Label, kDialog, u"比例：", {600, 1185, 735, 255});
    ControlSpec& weights = add(u"TWeights", K::TextBox, kDialog, u"8:1:1", {1380, 1140, 1815, 285});
    weights.enabled = false;
    weights.maxLength = 4000;
    weights.inputMethodOff = true;
    weights.labelledBy = u"LWeights";
    add(u"LNames", K::Label, kDialog, u"名称：", {600, 1545, 735, 255});
    ControlSpec& names = add(u"TNames", K::TextBox, kDialog, u"", {1380, 1500, 3900, 285});
    names.enabled = false;
    names.maxLength = 4000;
    names.labelledBy = u"LNames";
    names.tooltip = u"可以不填；每个比例一个名称，以“,”隔开，如 张三,李四,王五";
    add(u"FrameWay", K::Frame, kDialog, u"方式", {240, 1920, 5040, 1035});
    add(u"OptPlain", K::OptionButton, u"FrameWay", u"复制或移动（按主窗口）(&C)", {180, 300, 2775, 255}).checked = true;
    add(u"OptHard", K::OptionButton, u"FrameWay", u"硬链接(&H)", {3120, 300, 1755, 255});
    add(u"OptSymbolic", K::OptionButton, u"FrameWay", u"符号链接(&Y)", {180, 660, 2775, 255});
    add(u"OptClone", K::OptionButton, u"FrameWay", u"克隆(&L)", {3120, 660, 1755, 255});
    add(u"LCommon", K::Label, kDialog, u"每份共同文件数：", {240, 3165, 1695, 255});
    ControlSpec& common = add(u"TCommon", K::TextBox, kDialog, u"0", {1980, 3120, 735, 285});
    common.maxLength = 9;
    common.inputMethodOff = true;
    common.labelledBy = u"LCommon";
    common.tooltip = u"0：没有共同文件";
    add(u"ChLists", K::CheckBox, kDialog, u"只生成清单，不复制文件(&T)", {240, 3540, 4200, 255});
    add(u"CmdOK", K::PushButton, kDialog, u"确定", {1380, 4020, 1155, 375});
    add(u"CmdCancel", K::PushButton, kDialog, u"取消", {2640, 4020, 1155, 375});
    add(u"CmdDefaults", K::PushButton, kDialog, u"恢复默认(&D)", {3900, 4020, 1380, 375});
    return t;
}

}  // namespace

const WindowSpec& optionsSpec() {
    static const WindowSpec spec{kDialog, u"分发选项", 5520, 4560, false, false, false, true};
    return spec;
}

std::span<const ControlSpec> optionsLayout() {
    static const std::vector<ControlSpec> layout = buildLayout();
    return layout;
}

const ControlSpec& optionsLayoutOf(std::u16string_view name) {
    auto layout = optionsLayout();
    auto it = std::find_if(layout.begin(), layout.end(), [&](const ControlSpec& s) { return s.name == name; });
    if (it == layout.end()) throw std::logic_error("no control of that name in the options layout");
    return *it;
}

}  // namespace qm
