#include "window/controls.h"

#include "platform/platform.h"

namespace qm {

Control::Control(const ControlSpec& spec) : spec_(spec), enabled_(spec.enabled) {}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    changed();
}

bool Control::canTakeFocus() const {
    switch (kind()) {
        case ControlKind::Label:
        case ControlKind::Frame:
        case ControlKind::FileList:
            return false;
        default:
            return visible();
    }
}

void Label::setCaption(std::u16string caption) {
    caption_ = std::move(caption);
    changed();
    if (onChange) onChange();
}

char16_t Control::accessKey() const {
    if (kind() != ControlKind::PushButton && kind() != ControlKind::CheckBox && kind() != ControlKind::OptionButton)
        return 0;
    const std::u16string& c = spec().caption;
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        if (c[i] == u'&') {
            char16_t k = c[i + 1];
            if (k == u'&') {  // "&&" is a literal ampersand
                ++i;
                continue;
            }
            return (k >= u'a' && k <= u'z') ? static_cast<char16_t>(k - u'a' + u'A') : k;
        }
    }
    return 0;
}

void CheckBox::setValue(int value) {
    if (value_ == value) return;
    value_ = value;
    changed();
}

void OptionButton::setValue(bool value) {
    if (value_ == value) return;
    value_ = value;
    changed();
    if (!value) return;
    for (OptionButton* other : group_) {
        if (other != this && other->value_) {
            other->value_ = false;
            other->changed();
        }
    }
    if (onClick) onClick();
}

void EditControl::storeText(std::u16string text, std::size_t caret) {
    text_ = std::move(text);
    selStart_ = std::min(caret, text_.size());
    selLength_ = 0;
    changed();
}

void EditControl::setText(std::u16string text) {
    std::size_t end = text.size();
    storeText(std::move(text), end);
    textEdited();
    if (onChange) onChange();
}

void EditControl::setSelection(std::size_t start, std::size_t length) {
    selStart_ = std::min(start, text_.size());
    selLength_ = std::min(length, text_.size() - selStart_);
    changed();
}

void EditControl::replaceText(std::u16string text, std::size_t caret) {
    if (text == text_) {
        setSelStart(caret);
        return;
    }
    storeText(std::move(text), caret);
    textEdited();
    if (onChange) onChange();
}

void EditControl::typeKey(char16_t key) {
    std::int16_t code = static_cast<std::int16_t>(key);
    if (onKeyPress) onKeyPress(code);
    if (code == 0) return;
    const char16_t c = static_cast<char16_t>(code);
    std::u16string next = text_;
    std::size_t caret = selStart_;
    if (c == 8) {
        if (selLength_ > 0) {
            next.erase(selStart_, selLength_);
        } else if (selStart_ > 0) {
            next.erase(selStart_ - 1, 1);
            caret = selStart_ - 1;
        } else {
            return;
        }
    } else if (c < 32) {
        return;  // other control keys insert nothing
    } else {
        if (maxLength() != 0 && text_.size() - selLength_ + 1 > maxLength()) return;
        next.replace(selStart_, selLength_, 1, c);
        caret = selStart_ + 1;
    }
    replaceText(std::move(next), caret);
}

void EditControl::paste(std::u16string_view text) {
    std::size_t room = text.size();
    if (maxLength() != 0) room = std::min(room, maxLength() - std::min(maxLength(), text_.size() - selLength_));
    std::u16string next = text_;
    next.replace(selStart_, selLength_, text.substr(0, room));
    replaceText(std::move(next), selStart_ + room);
}

void ComboBox::chooseItem(std::size_t index) {
    if (index >= items_.size()) return;
    listIndex_ = static_cast<int>(index);
    storeText(items_[index], items_[index].size());
    if (onChange) onChange();
    if (onClick) onClick();
}

FileList::FileList(const ControlSpec& spec, System& system) : Control(spec), list_(system, spec.caption) {}

}  // namespace qm
