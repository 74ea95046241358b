#include "app/qt/main_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <stdexcept>

#include "app/qt/accessible_names.h"
#include "input/commands.h"
#include "app/qt/qt_text.h"
#include "window/form1.h"

namespace qm::desktop {

namespace {

Qt::WindowFlags flagsOf(const WindowSpec& window) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowCloseButtonHint;
    if (window.minimizeButton) flags |= Qt::WindowMinimizeButtonHint;
    if (window.maximizeButton) flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

// The installed theme's icon, which follows the desktop's icon theme; a
// program run from its build folder has the pictures built in.
QIcon programIcon() {
    QIcon builtIn;
    for (int size : {16, 32, 48, 64, 128})
        builtIn.addFile(QStringLiteral(":/quillmarsh/quillmarsh-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("quillmarsh"), builtIn);
}

}  // namespace

MainWindow::MainWindow(Form1& form, double scale)
    : form_(form), context_{form, [this] { mirrorAll(); }}, router_(context_, *this) {
    const WindowSpec& window = formSpec();
    setWindowFlags(flagsOf(window));
    setWindowIcon(programIcon());
    // The layout was drawn for the classic 9-point dialog font; larger text
    // would not fit the captions into their controls.
    QFont font = this->font();
    font.setPointSize(9);
    setFont(font);
    const QSize client = toPixels(window.clientWidth, window.clientHeight, scale);
    if (window.resizable) {
        resize(client);
    } else {
        setFixedSize(client);
    }
    installAccessibility();
    build(scale);
    form_.observe([this] { mirrorWindow(); });
    mirrorAll();
    if (window.centred) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

MainWindow::~MainWindow() {
    form_.observe(nullptr);
    for (const auto& binder : binders_) binder->control().observe(nullptr);
    // The widgets go before their binders, whose members their signals reach.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) delete child;
}

// The window's commands, one item each, in the context menu of its
// background.
void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (!context_.listening() || !form_.enabled()) return;
    QMenu menu(this);
    for (const input::Command& command : input::commands()) {
        QAction* item = menu.addAction(toQString(command.text));
        // Shown beside the item; the router takes the key.
        item->setShortcut(QKeySequence(toQString(command.keyText)));
        item->setEnabled(command.enabled(form_));
        item->setData(command.id);
    }
    const QAction* chosen = menu.exec(event->globalPos());
    const input::Command* command = chosen ? input::commandWithId(chosen->data().toUInt()) : nullptr;
    if (command) context_.act([this, command] { command->action(form_); });
}

void MainWindow::build(double scale) {
    router_.watch(this, nullptr);
    QWidget* previous = nullptr;
    for (const ControlSpec& row : formLayout()) {
        Control* control = form_.control(row.name);
        if (!control) throw std::logic_error("the layout table names a control the window model does not have");
        QWidget* parent = this;
        if (row.container != formSpec().name) {
            // Containers come before what they hold in the table.
            parent = nullptr;
            for (const auto& b : binders_) {
                if (b->control().name() == row.container) parent = b->widget();
            }
            if (!parent) throw std::logic_error("a control of the layout table comes before its container");
        }
        std::unique_ptr<Binder> binder = bindControl(context_, *control, parent, scale);
        if (!binder) continue;
        for (QWidget* input : binder->inputWidgets()) router_.watch(input, control);
        control->observe([b = binder.get()] { b->mirror(); });
        // Qt's own tab chain is never walked (the router sends Tab to the
        // model) but stays in the table's order for accessibility tools.
        if (control->canTakeFocus()) {
            if (previous) setTabOrder(previous, binder->widget());
            previous = binder->widget();
        }
        binders_.push_back(std::move(binder));
    }
    // A caption label beside a field is its buddy, which is how assistive
    // tools on Linux learn what names the field.
    for (const auto& binder : binders_) {
        const std::u16string& naming = binder->control().spec().labelledBy;
        Control* label = naming.empty() ? nullptr : form_.control(naming);
        if (label && label->kind() == ControlKind::Label)
            static_cast<QLabel*>(widgetOf(*label))->setBuddy(binder->widget());
    }
}

QWidget* MainWindow::widgetOf(const Control& control) const {
    for (const auto& binder : binders_) {
        if (&binder->control() == &control) return binder->widget();
    }
    return nullptr;
}

void MainWindow::mirrorAll() {
    input::MirrorScope scope(context_);
    for (const auto& binder : binders_) binder->mirror();
    mirrorWindow();
}

void MainWindow::mirrorWindow() {
    input::MirrorScope scope(context_);
    const QString title = toQString(form_.caption());
    if (windowTitle() != title) setWindowTitle(title);
    if (isEnabled() != form_.enabled()) setEnabled(form_.enabled());
    mirrorFocus();
}

void MainWindow::mirrorFocus() {
    if (!isEnabled()) return;  // a disabled window holds no focus
    const Control* focused = form_.focused();
    QWidget* target = focused ? widgetOf(*focused) : nullptr;
    // A control the model keeps focused while it is disabled cannot hold Qt's
    // focus; the window holds it, so that keys reach no other control.
    if (!target || !target->isEnabled()) target = this;
    if (!target->hasFocus()) target->setFocus(Qt::OtherFocusReason);
}

// Closing the window during a run would pull the model out from under it;
// the classic toolkit's disabled window took no close either.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_.enabled()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace qm::desktop
