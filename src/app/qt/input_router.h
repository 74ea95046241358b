// The keyboard and the mouse, as the model's user actions.
//
// The model owns the focus: moving it out of an edit control runs that
// control's Validate, which may keep it there. So nothing may move the focus
// behind the model's back. The router watches every widget that takes input
// and, before the widget sees the event:
//   - Tab and Shift+Tab become the model's tab;
//   - a mouse press on a control the model has not focused first asks the
//     model to move the focus, and is dropped when Validate refuses;
//   - an access key (Alt+I, Alt+O) becomes the model's access key;
//   - Enter on a push button presses it, as Space does;
//   - a typed character, Backspace, Enter or Esc in an edit control becomes a
//     typed key (the model's KeyPress decides what it inserts), and a paste
//     becomes the model's paste;
//   - a focus change that slipped through anyway is offered to the model and
//     undone when the model refuses it.
// Caret movement, selection, Delete and cut are left to the line edit; the
// edit binders send their outcome to the model.
#pragma once

#include <QHash>
#include <QObject>

#include "app/qt/binder.h"

class QContextMenuEvent;
class QFocusEvent;
class QKeyEvent;
class QLineEdit;

namespace qm {
class Control;
class EditControl;
}  // namespace qm

namespace qm::desktop {

class InputRouter : public QObject {
public:
    explicit InputRouter(BindContext& context) : context_(context) {}

    // Routes the input of `widget` to `control`; nullptr for the window
    // itself, which holds the keyboard when the model's focus is on a
    // control that cannot take it (only Tab means anything there).
    void watch(QWidget* widget, Control* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(QWidget& widget, Control* control, QKeyEvent& event);
    bool typeInto(EditControl& edit, QKeyEvent& event);
    bool arrowInGroup(Control& option, int key);
    bool mousePress(Control& control);
    void focusIn(Control& control, const QFocusEvent& event);
    bool contextMenu(QLineEdit& line, EditControl& edit, const QContextMenuEvent& event);
    void paste(EditControl& edit);
    // Runs a user action on the model, then brings the window in line.
    template <typename Action>
    void act(Action action);

    BindContext& context_;
    QHash<QObject*, Control*> controls_;
};

}  // namespace qm::desktop
