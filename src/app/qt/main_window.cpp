#include "app/qt/main_window.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include "app/qt/accessible_names.h"
#include "app/qt/form_dialog.h"
#include "app/qt/qt_text.h"
#include "input/commands.h"
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

MainWindow::MainWindow(Form1& form, double scale) : form_(form), scale_(scale) {
    const WindowSpec& window = formSpec();
    setWindowFlags(flagsOf(window));
    setWindowIcon(programIcon());
    setFont(classicFont(font()));
    installAccessibility();
    view_ = std::make_unique<FormView>(form, formLayout(), window, *this, scale, [this] { closeIfAsked(); });
    form_.setDialogHost([this](Form& dialog) { showDialog(dialog); });
    if (window.centred) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

MainWindow::~MainWindow() {
    form_.setDialogHost(nullptr);
    view_.reset();
}

void MainWindow::showDialog(Form& dialog) { runDialog(dialog, *this, scale_); }

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress && form_.busy()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) form_.RequestStop();
        return true;
    }
    return QWidget::event(event);
}

// Closing the window during a run would pull the model out from under it:
// it asks to stop the run instead, and the window closes once the run has
// ended (its report shown). The classic toolkit's disabled window took no
// close either.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_.busy()) {
        if (form_.RequestStop()) closeWhenDone_ = true;
        event->ignore();
        return;
    }
    if (form_.enabled()) {
        event->accept();
    } else {
        event->ignore();
    }
}

// Called once the window is in line with the model after each action, which
// for a run is once it has ended.
void MainWindow::closeIfAsked() {
    if (!closeWhenDone_ || form_.busy()) return;
    closeWhenDone_ = false;
    // Out of the click that ran, so that no widget goes while its signal is
    // still being delivered.
    QTimer::singleShot(0, this, [this] { close(); });
}

// The window's commands, one item each, in the context menu of its
// background.
void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    BindContext& context = view_->context();
    if (!context.listening() || !form_.enabled()) return;
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
    if (command) context.act([this, command] { command->action(form_); });
}

}  // namespace qm::desktop
