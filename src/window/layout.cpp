#include "window/layout.h"

#include <algorithm>
#include <stdexcept>

namespace qm {

namespace {

using K = ControlKind;

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
    auto add = [&](ControlSpec s) -> ControlSpec& { return t.emplace_back(std::move(s)); };

    ControlSpec& file1 = add(row(0, u"File1", K::FileList, u"Form1", u"*.*", {2880, 2160, 975, 630}));
    file1.visible = false;
    file1.inputMethodOff = true;
    add(row(1, u"CmdIn", K::PushButton, u"Form1", u"导入目录(&I)...", {0, 0, 1575, 375}));
    ControlSpec& ldir = add(row(2, u"LDir", K::Label, u"Form1", u"", {1680, 120, 4335, 255}));
    ldir.tooltip = u"支持文件夹拖放";
    ldir.acceptsDrops = true;
    ldir.labelledBy = u"CmdIn";
    ldir.elidesPath = true;
    add(row(3, u"Label1", K::Label, u"Form1", u"当前目录文件总数：", {150, 1845, 1695, 255}));
    ControlSpec& lfiles = add(row(4, u"LFiles", K::Label, u"Form1", u"0", {1920, 1845, 90, 180}));
    lfiles.autoSize = true;
    lfiles.labelledBy = u"Label1";
    add(row(5, u"CmdOut", K::PushButton, u"Form1", u"导出目录(&O)...", {0, 360, 1575, 375}));
    ControlSpec& ldirOut = add(row(6, u"LDirOut", K::Label, u"Form1", u"", {1680, 480, 4335, 255}));
    ldirOut.tooltip = u"支持文件夹拖放";
    ldirOut.acceptsDrops = true;
    ldirOut.labelledBy = u"CmdOut";
    ldirOut.elidesPath = true;
    ControlSpec& combo1 = add(row(7, u"Combo1", K::ComboBox, u"Form1", u"*.*", {2655, 840, 1095, 300}));
    combo1.inputMethodOff = true;
    combo1.labelledBy = u"Label2";
    add(row(8, u"Label2", K::Label, u"Form1", u"文件类型：", {1680, 885, 975, 255}));
    add(row(9, u"Label3", K::Label, u"Form1", u"每份抽取：", {1680, 1245, 975, 255}));
    ControlSpec& tparts = add(row(10, u"TParts", K::TextBox, u"Form1", u"50", {2640, 1200, 615, 270}));
    tparts.enabled = false;
    tparts.maxLength = 6;
    tparts.inputMethodOff = true;
    tparts.labelledBy = u"Label3";
    // The one way the window tells of its undo's shortcut.
    add(row(11, u"CmdDo", K::PushButton, u"Form1", u"分  发", {0, 720, 1575, 375})).tooltip = u"Ctrl+Z：撤销上次分发";
    add(row(12, u"Opt1", K::OptionButton, u"Form1", u"固定分发", {120, 1200, 1095, 255}));
    add(row(13, u"Opt2", K::OptionButton, u"Form1", u"平均分发", {120, 1560, 1095, 255})).checked = true;
    add(row(14, u"Label4", K::Label, u"Form1", u"均分份数：", {1680, 1605, 975, 255}));
    ControlSpec& tdivs = add(row(15, u"TDivs", K::TextBox, u"Form1", u"5", {2640, 1560, 615, 270}));
    tdivs.maxLength = 6;
    tdivs.inputMethodOff = true;
    tdivs.labelledBy = u"Label4";
    add(row(16, u"Frame1", K::Frame, u"Form1", u"分发选项：", {3840, 840, 2175, 1215}));
    add(row(17, u"ChBackUp", K::CheckBox, u"Frame1", u"移走原文件", {240, 240, 1335, 255}));
    add(row(18, u"Option1", K::OptionButton, u"Frame1", u"保留原全路径结构", {240, 600, 1815, 180}));
    add(row(19, u"Option2", K::OptionButton, u"Frame1", u"仅保留源文件夹", {240, 960, 1815, 180})).checked = true;
    ControlSpec& label5 = add(row(20, u"Label5", K::Label, u"Form1", u"作者主页", {2880, 1920, 855, 255}));
    label5.textColor = 0x0000FF;
    label5.link = true;
    return t;
}

}  // namespace

const WindowSpec& formSpec() {
    static const WindowSpec spec{u"Form1", u"Quillmarsh", 6270, 2160, false, true, false, true};
    return spec;
}

std::span<const ControlSpec> formLayout() {
    static const std::vector<ControlSpec> layout = buildLayout();
    return layout;
}

const ControlSpec& layoutOf(std::u16string_view name) {
    auto layout = formLayout();
    auto it = std::find_if(layout.begin(), layout.end(), [&](const ControlSpec& s) { return s.name == name; });
    if (it == layout.end()) throw std::logic_error("no control of that name in the window layout");
    return *it;
}

std::u16string elidedPathTooltip(const ControlSpec& row, const std::u16string& path) {
    return row.tooltip.empty() ? path : path + u"\n" + row.tooltip;
}

const std::vector<std::u16string>& filterItems() {
    static const std::vector<std::u16string> items{
        u"所有",     u"常用图片格式", u"*.bmp;*.rle;*.dib", u"*.jpg;*.jpeg;*.jpe;*.jfi", u"*.png",  u"*.gif",
        u"*.tif;*.tiff", u"*.ico", u"*.wmf",  u"*.emf",   u"*.psd",   u"*.tga",   u"*.vda",   u"*.ict",
        u"*.vst",    u"*.pcx",      u"*.pcc",   u"*.pbm",   u"*.pgm",   u"*.pnm",   u"*.ppm",   u"*.pfm",
        u"*.pam",    u"*.sct",      u"*.sgi",   u"*.rgb",   u"*.bw",    u"*.icon",  u"*.ras",   u"*.im1",
        u"*.im8",    u"*.im24",     u"*.im32",  u"*.rsb",   u"*.wbm",   u"*.wbmp",  u"*.iff",   u"*.xbm",
        u"*.bitmap", u"*.xwd",      u"*.ska",   u"*.pcd",   u"*.fit",   u"*.fits",  u"*.dcm",   u"*.dicom"};
    return items;
}

}  // namespace qm
