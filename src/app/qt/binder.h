// The binders of the Qt window: each control's widget (input/binder.h).
#pragma once

#include <QList>
#include <memory>

#include "input/binder.h"

class QWidget;

namespace qm {
class Control;
}

namespace qm::desktop {

// What the binders and the input router share: the tie to the model.
using BindContext = input::Mirror;

class Binder : public input::Binder {
public:
    QWidget* widget() const { return widget_; }
    // The widgets that receive the control's mouse and keyboard input (an
    // editable list has its line edit as well).
    virtual QList<QWidget*> inputWidgets() const { return {widget_}; }

protected:
    Binder(BindContext& context, Control& control, QWidget* widget)
        : input::Binder(context, control), context_(context), widget_(widget) {}

    BindContext& context_;

private:
    void mirrorShown(bool enabled, bool visible) final;

    QWidget* widget_;
};

// Makes the widget of one control of the layout table as a child of
// `parent`, placed, sized and styled as the table says, and copies the
// control's state into it. nullptr for a control that is never shown.
std::unique_ptr<Binder> bindControl(BindContext& context, Control& control, QWidget* parent, double scale);

}  // namespace qm::desktop
