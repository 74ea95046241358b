// The window as data: every control's kind, container, caption, geometry in
// twips, tab order and starting state, in one table that the core builds the
// model from and that every front end builds its widgets from.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

enum class ControlKind { Label, PushButton, TextBox, ComboBox, OptionButton, CheckBox, Frame, FileList };

struct Twips {
    int left, top, width, height;
};

struct ControlSpec {
    int tabIndex = 0;
    std::u16string name;
    ControlKind kind = ControlKind::Label;
    std::u16string container;  // "Form1" or the name of the frame
    std::u16string caption;    // caption or starting text (the file list: its starting pattern)
    Twips geometry{};
    bool visible = true;
    bool enabled = true;
    bool checked = false;        // option buttons and the check box
    std::size_t maxLength = 0;   // edit controls; 0: no limit
    bool inputMethodOff = false;
    std::u16string tooltip;
    bool acceptsDrops = false;
    std::uint32_t textColor = kDefaultColor;  // 0xRRGGBB
    bool autoSize = false;       // grows and shrinks to its caption, keeping its left edge
    // The control whose caption names this one for a screen reader: the
    // caption label beside an entry field, the button beside a folder label.
    // Empty: the control's own caption names it.
    std::u16string labelledBy;
    // A label whose click opens a page or a document: front ends show it in
    // the desktop's link colour and tell assistive tools that it is a link.
    bool link = false;
    // A label that shows a path, which may be wider than the label: shown cut
    // in the middle, where a path says least, and whole in its tooltip.
    bool elidesPath = false;

    static constexpr std::uint32_t kDefaultColor = 0xFFFFFFFF;
};

struct WindowSpec {
    std::u16string name;
    std::u16string caption;
    int clientWidth, clientHeight;  // twips
    bool resizable, minimizeButton, maximizeButton, centred;
};

// 15 twips are one pixel at 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

const WindowSpec& formSpec();
// The 21 controls, in tab order.
std::span<const ControlSpec> formLayout();
const ControlSpec& layoutOf(std::u16string_view name);
// The tooltip of a label whose path is too wide to be shown whole: the
// path, then the label's own tooltip on a line of its own.
std::u16string elidedPathTooltip(const ControlSpec& row, const std::u16string& path);
// The fixed items of the filter list, in the order shown.
const std::vector<std::u16string>& filterItems();

}  // namespace qm
