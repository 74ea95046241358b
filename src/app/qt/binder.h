// One binder per control: it makes the control's widget and copies the
// control's state into it. The widgets hold no state of their own that the
// model does not also hold; whatever a widget does by itself is either sent
// to the model (and copied back) or undone by the next copy.
#pragma once

#include <QList>
#include <memory>

#include "input/mirror.h"

class QWidget;

namespace qm {
class Control;
}

namespace qm::desktop {

// What the binders and the input router share: the tie to the model.
using BindContext = input::Mirror;

class Binder {
public:
    virtual ~Binder() = default;
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    Control& control() const { return control_; }
    QWidget* widget() const { return widget_; }
    // The widgets that receive the control's mouse and keyboard input (an
    // editable list has its line edit as well).
    virtual QList<QWidget*> inputWidgets() const { return {widget_}; }

    // Copies the control's state into its widget.
    void mirror();

protected:
    Binder(BindContext& context, Control& control, QWidget* widget)
        : context_(context), control_(control), widget_(widget) {}
    // The part of the state that depends on the kind of control.
    virtual void mirrorState() = 0;

    BindContext& context_;

private:
    Control& control_;
    QWidget* widget_;
};

// Makes the widget of one control of the layout table as a child of
// `parent`, placed, sized and styled as the table says, and copies the
// control's state into it. nullptr for a control that is never shown.
std::unique_ptr<Binder> bindControl(BindContext& context, Control& control, QWidget* parent, double scale);

}  // namespace qm::desktop
