#include "window/form.h"

#include <algorithm>

namespace qm {

void Form::setControls(std::vector<Control*> controls, Control* first) {
    controls_ = std::move(controls);
    for (Control* c : controls_) {
        if (c->kind() != ControlKind::OptionButton) continue;
        std::vector<OptionButton*> group;
        for (Control* other : controls_) {
            if (other->kind() == ControlKind::OptionButton && other->spec().container == c->spec().container)
                group.push_back(static_cast<OptionButton*>(other));
        }
        static_cast<OptionButton*>(c)->setGroup(std::move(group));
    }
    focused_ = first;
}

Control* Form::control(std::u16string_view name) const {
    auto it = std::find_if(controls_.begin(), controls_.end(), [&](Control* c) { return c->name() == name; });
    return it == controls_.end() ? nullptr : *it;
}

void Form::setCaption(std::u16string caption) {
    caption_ = std::move(caption);
    changed();
}

void Form::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    changed();
}

bool Form::moveFocus(Control* target) {
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

bool Form::setFocus(Control& control) { return moveFocus(&control); }

bool Form::click(Control& control) {
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
            if (box.onClick) box.onClick();
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

bool Form::type(EditControl& control, std::u16string_view keys) {
    if (!enabled_ || !control.enabled() || !moveFocus(&control)) return false;
    for (char16_t key : keys) control.typeKey(key);
    return true;
}

bool Form::paste(EditControl& control, std::u16string_view text) {
    if (!enabled_ || !control.enabled() || !moveFocus(&control)) return false;
    control.paste(text);
    return true;
}

bool Form::chooseItem(ComboBox& combo, std::size_t index) {
    if (!enabled_ || !combo.enabled() || !moveFocus(&combo)) return false;
    combo.chooseItem(index);
    return true;
}

bool Form::tab(bool backwards) {
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

bool Form::pressAccessKey(char16_t key) {
    if (key >= u'a' && key <= u'z') key = static_cast<char16_t>(key - u'a' + u'A');
    for (Control* c : controls_) {
        if (c->accessKey() == key) return click(*c);
    }
    return false;
}

bool Form::stepOption(Control& option, bool backwards) {
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

void Form::drop(Label& label, const std::vector<std::u16string>& paths) {
    if (!enabled_ || !label.spec().acceptsDrops) return;
    if (label.onDrop) label.onDrop(paths);
}

void Form::mouseMove(Label& label) {
    if (enabled_ && label.onMouseMove) label.onMouseMove();
}

}  // namespace qm
