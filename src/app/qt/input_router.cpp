#include "app/qt/input_router.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <utility>

#include "app/qt/qt_text.h"
#include "window/form1.h"

namespace qm::desktop {

namespace {

// The keys the rules name, as Qt names them.
constexpr std::pair<int, input::Key> kNamedKeys[] = {
    {Qt::Key_Tab, input::Key::Tab},       {Qt::Key_Backtab, input::Key::Tab},
    {Qt::Key_Return, input::Key::Enter},  {Qt::Key_Enter, input::Key::Enter},
    {Qt::Key_Escape, input::Key::Escape}, {Qt::Key_Backspace, input::Key::Backspace},
    {Qt::Key_Left, input::Key::Left},     {Qt::Key_Up, input::Key::Up},
    {Qt::Key_Right, input::Key::Right},   {Qt::Key_Down, input::Key::Down},
};

input::Key keyOf(int key) {
    // Qt numbers the keys of digits and letters by their characters.
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return input::characterKey(static_cast<char16_t>(key));
    for (const auto& [named, as] : kNamedKeys) {
        if (named == key) return as;
    }
    return input::Key::Other;
}

input::Modifiers modifiersOf(const QKeyEvent& event) {
    const Qt::KeyboardModifiers held = event.modifiers();
    input::Modifiers mods = input::kNoModifier;
    // Qt reports Shift+Tab as its own key, which is Tab going backwards.
    if ((held & Qt::ShiftModifier) || event.key() == Qt::Key_Backtab) mods |= input::kShift;
    if (held & Qt::ControlModifier) mods |= input::kControl;
    if (held & Qt::AltModifier) mods |= input::kAlt;
    if (held & Qt::MetaModifier) mods |= input::kMeta;
    return mods;
}

// What a key types, as the classic toolkit passed it to KeyPress: Backspace,
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

input::MouseButton buttonOf(const QMouseEvent& event) {
    switch (event.button()) {
        case Qt::LeftButton:
            return input::MouseButton::Primary;
        case Qt::RightButton:
            return input::MouseButton::Secondary;
        default:
            return input::MouseButton::Other;
    }
}

}  // namespace

// The model moves Qt's focus itself, with a reason for which Qt's styles draw
// no focus frame. The window's keyboard flag is what they look at: once the
// user has moved through the window by keyboard, the focused control is
// marked, as after Qt's own Tab.
InputRouter::InputRouter(BindContext& context, QWidget& window)
    : context_(context), rules_(context, [&window] { window.setAttribute(Qt::WA_KeyboardFocusChange); }) {}

void InputRouter::watch(QWidget* widget, Control* control) {
    controls_.insert(widget, control);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this](QObject* gone) { controls_.remove(gone); });
}

bool InputRouter::eventFilter(QObject* watched, QEvent* event) {
    const auto it = controls_.constFind(watched);
    if (it == controls_.cend() || !context_.listening()) return false;
    Control* control = it.value();
    switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(control, static_cast<QKeyEvent&>(*event));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return control && rules_.mousePress(*control, buttonOf(static_cast<QMouseEvent&>(*event)));
        case QEvent::FocusIn:
            if (control) {
                const Qt::FocusReason reason = static_cast<QFocusEvent&>(*event).reason();
                focusIn(*control, reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason);
            }
            return false;
        case QEvent::Shortcut:
            // The caption's "&" makes Qt register the access key; the model
            // presses the button or box, not Qt.
            return control && control->accessKey() != 0 && rules_.accessKey(control->accessKey());
        case QEvent::Wheel:
            return control && rules_.wheel(*control);
        case QEvent::ContextMenu: {
            auto* line = qobject_cast<QLineEdit*>(watched);
            EditControl* edit = input::asEdit(control);
            return line && edit && contextMenu(*line, *edit, static_cast<QContextMenuEvent&>(*event));
        }
        default:
            return false;
    }
}

bool InputRouter::keyPress(Control* control, QKeyEvent& event) {
    const input::Modifiers held = modifiersOf(event);
    if (onEscape && event.key() == Qt::Key_Escape && held == input::kNoModifier) {
        if (!event.isAutoRepeat()) onEscape();
        return true;
    }
    if (rules_.keyDown(control, {keyOf(event.key()), held, event.isAutoRepeat()})) return true;
    EditControl* edit = input::asEdit(control);
    if (edit && event.matches(QKeySequence::Paste)) {
        paste(*edit);
        return true;
    }
    const std::u16string keys = typedKeys(event);
    // Caret movement and Delete type nothing: they are the line edit's.
    return !keys.empty() && rules_.typed(control, keys, held);
}

void InputRouter::focusIn(Control& control, bool userMove) {
    // Qt is still in the middle of its focus change; the model's focus is put
    // back once that is over.
    if (rules_.focusArrived(control, userMove))
        QTimer::singleShot(0, this, [this] { context_.mirrorAll(); });
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

void InputRouter::paste(EditControl& edit) { rules_.paste(edit, toU16(QGuiApplication::clipboard()->text())); }

}  // namespace qm::desktop
