// A form of the window model: its controls in tab order and what the user
// does to them (clicks, keys, focus, option groups, access keys), with the
// classic toolkit's rules (Validate before the focus leaves a text box, a
// disabled form or control takes no input). The main window (Form1) is one;
// a dialog the window opens is another, and a front end shows either the
// same way: from its layout table, mirroring the model.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "window/controls.h"

namespace qm {

class Form {
public:
    explicit Form(std::u16string caption) : caption_(std::move(caption)) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // --- the form's own properties -------------------------------------------
    const std::u16string& caption() const { return caption_; }
    void setCaption(std::u16string caption);
    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    const std::u16string& tag() const { return tag_; }
    void setTag(std::u16string tag) { tag_ = std::move(tag); }
    Control* focused() const { return focused_; }
    // The front end's hook: caption, enabled state or focus changed.
    void observe(std::function<void()> observer) { observer_ = std::move(observer); }

    const std::vector<Control*>& controls() const { return controls_; }
    Control* control(std::u16string_view name) const;

    // --- what the user does -------------------------------------------------
    // Each returns false when the action did not happen (form or control
    // disabled, or a Validate handler kept the focus where it was).
    bool click(Control& control);
    bool setFocus(Control& control);
    bool type(EditControl& control, std::u16string_view keys);
    bool paste(EditControl& control, std::u16string_view text);
    bool chooseItem(ComboBox& combo, std::size_t index);
    bool tab(bool backwards = false);
    // Alt + key: the push button, check box or option button it marks.
    bool pressAccessKey(char16_t key);
    // An arrow key on an option button: the next (backwards: the previous)
    // enabled button of its group is selected, wrapping around.
    bool stepOption(Control& option, bool backwards);
    void drop(Label& label, const std::vector<std::u16string>& paths);
    void mouseMove(Label& label);

protected:
    // The controls in tab order; option buttons that share a container form
    // one group. `first` has the focus at the start.
    void setControls(std::vector<Control*> controls, Control* first);
    void changed() const {
        if (observer_) observer_();
    }
    // Moves the focus, running Validate of the control that loses it.
    bool moveFocus(Control* target);

private:
    std::u16string caption_;
    bool enabled_ = true;
    std::u16string tag_;
    Control* focused_ = nullptr;
    bool validating_ = false;
    std::vector<Control*> controls_;
    std::function<void()> observer_;
};

}  // namespace qm
