#include "app/qt/input_router.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>

#include "app/qt/qt_text.h"
#include "window/form1.h"

namespace qm::desktop {

namespace {

EditControl* asEdit(Control* control) {
    if (!control) return nullptr;
    switch (control->kind()) {
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
            return static_cast<EditControl*>(control);
        default:
            return nullptr;
    }
}

bool isArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// What a key hands to KeyPress, as the classic toolkit passed it: Backspace,
// Enter and Esc as their control codes, any other key as the text it types.
// Empty for keys that type nothing.
std::u16string typedKeys(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Backspace:
            return u"\b";
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return u"\r";
        case Qt::Key_Escape:
            return u"\x1b";
        default:
            break;
    }
    const QString text = event.text();
    const bool printable = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 32 && c.unicode() != 127;
    });
    return printable ? toU16(text) : std::u16string();
}

// The model moves Qt's focus itself, with a reason for which Qt's styles draw
// no focus frame. The window's keyboard flag is what they look at: once the
// user has moved through the window by keyboard, the focused control is
// marked, as after Qt's own Tab.
void showFocusCues(QWidget& widget) { widget.window()->setAttribute(Qt::WA_KeyboardFocusChange); }

}  // namespace

template <typename Action>
void InputRouter::act(Action action) {
    action();
    context_.mirrorAll();
}

void InputRouter::watch(QWidget* widget, Control* control) {
    controls_.insert(widget, control);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) { controls_.remove(gone); });
}

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    const auto it = controls_.constFind(watched);
    if (it == controls_.cend() || context_.mirroring) return false;
    Control* control = it.value();
    switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(*static_cast<QWidget*>(watched), control, static_cast<QKeyEvent&>(*event));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return control && mousePress(*control);
        case QEvent::FocusIn:
            if (control) focusIn(*control, static_cast<QFocusEvent&>(*event));
            return false;
        case QEvent::Shortcut:
            if (!control || control->kind() != ControlKind::PushButton) return false;
            showFocusCues(*static_cast<QWidget*>(watched));
            act([&] { context_.form.pressAccessKey(static_cast<PushButton*>(control)->accessKey()); });
            return true;
        case QEvent::Wheel:
            // The wheel steps through the list only when the list has the focus.
            return control && control->kind() == ControlKind::ComboBox && context_.form.focused() != control;
        case QEvent::ContextMenu: {
            auto* line = qobject_cast<QLineEdit*>(watched);
            EditControl* edit = asEdit(control);
            return line && edit && contextMenu(*line, *edit, static_cast<QContextMenuEvent&>(*event));
        }
        default:
            return false;
    }
}

bool InputRouter::keyPress(QWidget& widget, Control* control, QKeyEvent& event) {
    const int key = event.key();
    const bool commandHeld = event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !commandHeld) {
        const bool backwards = key == Qt::Key_Backtab || (event.modifiers() & Qt::ShiftModifier);
        showFocusCues(widget);
        act([&] { context_.form.tab(backwards); });
        return true;
    }
    if (!control) return false;
    if (EditControl* edit = asEdit(control)) return typeInto(*edit, event);
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && control->kind() == ControlKind::PushButton) {
        // Qt presses a button with Enter only when it is a dialog's default
        // button; here Enter presses whichever button has the focus, like
        // Space. A held key repeats while a run holds the window, and those
        // repeats, delivered after it, must not start the run again.
        if (!commandHeld && !event.isAutoRepeat()) act([&] { context_.form.click(*control); });
        return true;
    }
    if (!isArrow(key)) return false;
    // Qt would move the focus among buttons with the arrow keys on its own.
    if (control->kind() == ControlKind::OptionButton) {
        showFocusCues(widget);
        return arrowInGroup(*control, key);
    }
    return control->kind() == ControlKind::PushButton || control->kind() == ControlKind::CheckBox;
}

bool InputRouter::typeInto(EditControl& edit, QKeyEvent& event) {
    if (event.matches(QKeySequence::Paste)) {
        paste(edit);
        return true;
    }
    const std::u16string keys = typedKeys(event);
    if (keys.empty()) return false;  // caret movement, Delete: the line edit's
    const Qt::KeyboardModifiers held = event.modifiers();
    // Select all, copy, cut, undo, deleting a word: the line edit's own
    // commands, whose outcome the edit binder sends to the model.
    if (held & (Qt::ControlModifier | Qt::MetaModifier)) return false;
    // Alt with a letter that is no access key types nothing.
    if (held & Qt::AltModifier) return true;
    act([&] { context_.form.type(edit, keys); });
    return true;
}

// The arrow keys step through an option group and select the button they
// reach, raising its Click, as in the classic toolkit's option groups.
bool InputRouter::arrowInGroup(Control& option, int key) {
    const bool backwards = key == Qt::Key_Left || key == Qt::Key_Up;
    act([&] { context_.form.stepOption(option, backwards); });
    return true;
}

bool InputRouter::mousePress(Control& control) {
    Form1& form = context_.form;
    if (!control.canTakeFocus() || !control.enabled() || !form.enabled() || form.focused() == &control) return false;
    bool moved = false;
    act([&] { moved = form.setFocus(control); });
    // Refused by Validate: the press (and the click it would start) is dropped.
    return !moved;
}

void InputRouter::focusIn(Control& control, const QFocusEvent& event) {
    Form1& form = context_.form;
    if (form.focused() == &control) return;
    // Qt is still in the middle of its focus change; the model's focus is put
    // back once that is over.
    auto restore = [this] { QTimer::singleShot(0, this, [this] { context_.mirrorAll(); }); };
    // The window coming to the front or a list closing hands the focus back
    // to where Qt last had it, which is no move of the user's.
    if (event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason) {
        restore();
        return;
    }
    if (form.setFocus(control)) {
        context_.mirrorAll();
    } else {
        restore();
    }
}

bool InputRouter::contextMenu(QLineEdit& line, EditControl& edit, const QContextMenuEvent& event) {
    std::unique_ptr<QMenu> menu(line.createStandardContextMenu());
    // Paste from the menu is the same paste as Ctrl+V, through the model,
    // which holds the length limit.
    if (auto* pasteAction = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(pasteAction, &QAction::triggered, nullptr, nullptr);
        connect(pasteAction, &QAction::triggered, this, [this, &edit] { paste(edit); });
    }
    menu->exec(event.globalPos());
    return true;
}

void InputRouter::paste(EditControl& edit) {
    const QString text = QGuiApplication::clipboard()->text();
    act([&] { context_.form.paste(edit, toU16(text)); });
}

}  // namespace qm::desktop
