// The keyboard and the mouse of the Qt window, handed to the model's input
// rules (input/router.h) before the widget sees them: Qt's key events,
// presses, focus changes, shortcuts and wheel turns become the rules' own,
// and a paste (its key, the line edit's menu) comes with the clipboard's text.
#pragma once

#include <QHash>
#include <QObject>
#include <functional>

#include "app/qt/binder.h"
#include "input/router.h"

class QContextMenuEvent;
class QKeyEvent;
class QLineEdit;

namespace qm {
class Control;
class EditControl;
}  // namespace qm

namespace qm::desktop {

class InputRouter : public QObject {
public:
    // `window`: the top-level widget, which shows the focus cues.
    InputRouter(BindContext& context, QWidget& window);

    // Routes the input of `widget` to `control`; nullptr for the window
    // itself, which holds the keyboard when the model's focus is on a
    // control that cannot take it.
    void watch(QWidget* widget, Control* control);
    // Esc in any watched widget, before the control sees it as a typed key;
    // unset, Esc is typed like any other key.
    std::function<void()> onEscape;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(Control* control, QKeyEvent& event);
    void focusIn(Control& control, bool userMove);
    bool contextMenu(QLineEdit& line, EditControl& edit, const QContextMenuEvent& event);
    void paste(EditControl& edit);

    BindContext& context_;
    input::Router rules_;
    QHash<QObject*, Control*> controls_;
};

}  // namespace qm::desktop
