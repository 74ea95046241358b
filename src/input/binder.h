// One binder per shown control: it makes the control's widget and copies the
// control's state into it. The widgets hold no state of their own that the
// model does not also hold; whatever a widget does by itself is either sent
// to the model (and copied back) or undone by the next copy. Each front end
// derives its binders from this one, which knows no widget.
#pragma once

#include "input/mirror.h"

namespace qm {
class Control;
}

namespace qm::input {

class Binder {
public:
    virtual ~Binder() = default;
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    Control& control() const { return control_; }
    // Copies the control's state into its widget; what the widget signals
    // meanwhile is an echo of the model.
    void mirror();

protected:
    Binder(Mirror& mirror, Control& control) : mirror_(mirror), control_(control) {}
    // Whether the widget is enabled and shown, as every kind has it.
    virtual void mirrorShown(bool enabled, bool visible) = 0;
    // The part of the state that depends on the kind of control.
    virtual void mirrorState() = 0;

private:
    Mirror& mirror_;
    Control& control_;
};

}  // namespace qm::input
