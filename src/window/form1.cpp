#include "window/form1.h"

#include <algorithm>

#include "platform/platform.h"
#include "window/event_table.h"

namespace qm {

Form1::Form1(Platform platform)
    : File1(layoutOf(u"File1"), platform.system),
      CmdIn(layoutOf(u"CmdIn")),
      LDir(layoutOf(u"LDir")),
      Label1(layoutOf(u"Label1")),
      LFiles(layoutOf(u"LFiles")),
      CmdOut(layoutOf(u"CmdOut")),
      LDirOut(layoutOf(u"LDirOut")),
      Combo1(layoutOf(u"Combo1"), filterItems()),
      Label2(layoutOf(u"Label2")),
      Label3(layoutOf(u"Label3")),
      TParts(layoutOf(u"TParts")),
      CmdDo(layoutOf(u"CmdDo")),
      Opt1(layoutOf(u"Opt1")),
      Opt2(layoutOf(u"Opt2")),
      Label4(layoutOf(u"Label4")),
      TDivs(layoutOf(u"TDivs")),
      Frame1(layoutOf(u"Frame1")),
      ChBackUp(layoutOf(u"ChBackUp")),
      Option1(layoutOf(u"Option1")),
      Option2(layoutOf(u"Option2")),
      Label5(layoutOf(u"Label5")),
      platform_(platform),
      caption_(formSpec().caption),
      controls_{&File1,  &CmdIn, &LDir,   &Label1, &LFiles, &CmdOut,   &LDirOut, &Combo1,  &Label2, &Label3, &TParts,
                &CmdDo,  &Opt1,  &Opt2,   &Label4, &TDivs,  &Frame1,   &ChBackUp, &Option1, &Option2, &Label5} {
    // Option buttons that share a container form one group.
    for (Control* c : controls_) {
        if (c->kind() != ControlKind::OptionButton) continue;
        std::vector<OptionButton*> group;
        for (Control* other : controls_) {
            if (other->kind() == ControlKind::OptionButton && other->spec().container == c->spec().container)
                group.push_back(static_cast<OptionButton*>(other));
        }
        static_cast<OptionButton*>(c)->setGroup(std::move(group));
    }
    for (const EventBinding& row : eventTable()) {
        if (row.attach) row.attach(*this);
    }
    focused_ = &CmdIn;
}

Control* Form1::control(std::u16string_view name) const {
    auto it = std::find_if(controls_.begin(), controls_.end(), [&](Control* c) { return c->name() == name; });
    return it == controls_.end() ? nullptr : *it;
}

void Form1::setCaption(std::u16string caption) {
    caption_ = std::move(caption);
    changed();
}

void Form1::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    changed();
}

void Form1::load() { Form_Load(); }

bool Form1::moveFocus(Control* target) {
    if (focused_ == target) return true;
    if (target && (!target->enabled() || !target->canTakeFocus())) return false;
    // A handler that moves the focus while Validate runs (back into its own
    // box, typically) must not validate again.
    if (!validating_) {
        if (auto* edit = dynamic_cast<EditControl*>(focused_); edit && edit->onValidate) {
            bool cancel = false;
            validating_ = true;
            edit->onValidate(cancel);
            validating_ = false;
            if (cancel) return false;
        }
    }
    focused_ = target;
    changed();
    return true;
}

bool Form1::setFocus(Control& control) { return moveFocus(&control); }

bool Form1::click(Control& control) {
    if (!enabled_ || !control.enabled() || !control.visible()) return false;
    switch (control.kind()) {
        case ControlKind::Label: {
            auto& label = static_cast<Label&>(control);
            if (label.onClick) label.onClick();
            return true;
        }
        case ControlKind::PushButton: {
            if (!moveFocus(&control)) return false;
            auto& button = static_cast<PushButton&>(control);
            if (button.onClick) button.onClick();
            return true;
        }
        case ControlKind::OptionButton:
            if (!moveFocus(&control)) return false;
            static_cast<OptionButton&>(control).setValue(true);
            return true;
        case ControlKind::CheckBox: {
            if (!moveFocus(&control)) return false;
            auto& box = static_cast<CheckBox&>(control);
            box.setValue(box.value() != 0 ? 0 : 1);
            return true;
        }
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
            return moveFocus(&control);
        case ControlKind::Frame:
        case ControlKind::FileList:
            return false;
    }
    return false;
}

bool Form1::type(EditControl& control, std::u16string_view keys) {
    if (!enabled_ || !control.enabled() || !moveFocus(&control)) return false;
    for (char16_t key : keys) control.typeKey(key);
    return true;
}

bool Form1::paste(EditControl& control, std::u16string_view text) {
    if (!enabled_ || !control.enabled() || !moveFocus(&control)) return false;
    control.paste(text);
    return true;
}

bool Form1::chooseItem(ComboBox& combo, std::size_t index) {
    if (!enabled_ || !combo.enabled() || !moveFocus(&combo)) return false;
    combo.chooseItem(index);
    return true;
}

bool Form1::tab(bool backwards) {
    if (!enabled_) return false;
    const std::size_t n = controls_.size();
    auto at = std::find(controls_.begin(), controls_.end(), focused_);
    std::size_t start = at == controls_.end() ? 0 : static_cast<std::size_t>(at - controls_.begin());
    for (std::size_t step = 1; step <= n; ++step) {
        std::size_t i = backwards ? (start + n - step) % n : (start + step) % n;
        Control* c = controls_[i];
        if (!c->canTakeFocus() || !c->enabled()) continue;
        // An option group is one stop, at its selected button.
        if (c->kind() == ControlKind::OptionButton && !static_cast<OptionButton*>(c)->value()) continue;
        return moveFocus(c);
    }
    return false;
}

bool Form1::pressAccessKey(char16_t key) {
    if (key >= u'a' && key <= u'z') key = static_cast<char16_t>(key - u'a' + u'A');
    for (Control* c : controls_) {
        if (c->kind() == ControlKind::PushButton && static_cast<PushButton*>(c)->accessKey() == key)
            return click(*c);
    }
    return false;
}

bool Form1::stepOption(Control& option, bool backwards) {
    std::vector<Control*> group;
    for (Control* c : controls_) {
        if (c->kind() == ControlKind::OptionButton && c->spec().container == option.spec().container)
            group.push_back(c);
    }
    const auto at = std::find(group.begin(), group.end(), &option);
    if (at == group.end()) return false;
    const std::size_t n = group.size();
    const std::size_t here = static_cast<std::size_t>(at - group.begin());
    for (std::size_t step = 1; step < n; ++step) {
        Control* next = group[backwards ? (here + n - step) % n : (here + step) % n];
        if (next->enabled()) return click(*next);
    }
    return false;
}

void Form1::drop(Label& label, const std::vector<std::u16string>& paths) {
    if (!enabled_ || !label.spec().acceptsDrops) return;
    if (label.onDrop) label.onDrop(paths);
}

void Form1::mouseMove(Label& label) {
    if (enabled_ && label.onMouseMove) label.onMouseMove();
}

}  // namespace qm
