#include "app/qt/event_pump.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace qm::desktop {

namespace {

constexpr qint64 kIntervalMs = 50;

bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::HoverMove:
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
            return true;
        default:
            return false;
    }
}

void note(QList<QPointer<QWidget>>& windows, QWidget* window) {
    if (!windows.contains(window)) windows.append(window);
}

// For as long as it lives, holds the user's input back from every object
// and notes Esc and the closing of a window. A window system's event goes to
// Qt's window first, which passes it on to the widget it is for: it is
// caught there, where its widget is known.
class HeldInput final : public QObject {
public:
    HeldInput() { QCoreApplication::instance()->installEventFilter(this); }
    ~HeldInput() override { QCoreApplication::instance()->removeEventFilter(this); }

    QList<QPointer<QWidget>> escaped, closed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched->isWindowType()) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Close) {
            if (!widget || !widget->isWindow()) return false;
            note(closed, widget);
            event->ignore();  // the window stays
            return true;
        }
        if (!isUserInput(event->type())) return false;
        if (event->type() == QEvent::KeyPress && widget) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat())
                note(escaped, widget->window());
        }
        return true;
    }
};

}  // namespace

void EventPump::pump() {
    if (sinceLast_.isValid() && sinceLast_.elapsed() < kIntervalMs) return;
    QList<QPointer<QWidget>> escaped, closed;
    {
        HeldInput held;
        QCoreApplication::processEvents();
        escaped = held.escaped;
        closed = held.closed;
    }
    sinceLast_.start();
    // Each window answers for itself (the main window asks to stop the run).
    for (const QPointer<QWidget>& window : escaped) {
        if (!window) continue;
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &esc);
    }
    for (const QPointer<QWidget>& window : closed) {
        if (window) window->close();
    }
}

}  // namespace qm::desktop
