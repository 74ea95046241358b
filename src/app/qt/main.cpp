// quillmarsh: the desktop window.
//
//   quillmarsh                    shows the window
//   quillmarsh --help | --version prints and exits, without a display (as
//                                 does a wrong option, with exit code 2)
//   quillmarsh --screenshot FILE [--tab N]
//                                 builds and loads the window, presses Tab N
//                                 times (so that the picture shows the focus
//                                 as a keyboard user sees it), saves it as a
//                                 PNG image and exits (no window is shown
//                                 when run with QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QStringList>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/qt/main_window.h"
#include "app/qt/window_arguments.h"
#include "app/qt/qt_user.h"
#include "platform/posix/posix_system.h"
#include "app/version.h"
#include "window/form1.h"

namespace {

// The window speaks Simplified Chinese whatever the system's language, so
// Qt's own texts (the folder dialog's buttons and labels) should too. Without
// the translation (package qt6-translations-l10n) they stay English.
void speakChinese(QApplication& app, QTranslator& translator) {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (translator.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) then fails the one file that passes it,
    // which is logged like any other failure, instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    const qm::desktop::WindowArguments arguments =
        qm::desktop::readWindowArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (arguments.action == qm::desktop::WindowArguments::Action::Answered) {
        std::fputs(arguments.out.c_str(), stdout);
        std::fputs(arguments.err.c_str(), stderr);
        return arguments.exitCode;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmarsh"));
    // Wayland compositors find the window's desktop entry (its name and
    // icon in the task switcher) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
    QTranslator translator;
    speakChinese(app, translator);

    const QString screenshot = QString::fromLocal8Bit(arguments.screenshot);
    const int tabs = arguments.tabs;

    qm::PosixSystem system;
    qm::desktop::QtUser user;
    qm::Form1 form({system, user});
    qm::desktop::MainWindow window(form);
    user.setWindow(&window);
    form.load();  // start-up runs before the window is first shown
    window.show();

    if (!screenshot.isEmpty()) {
        QApplication::processEvents();
        // Real key presses, through the same routing as the user's.
        for (int i = 0; i < tabs; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(focus ? focus : &window, &tab);
        }
        QApplication::processEvents();
        return window.grab().save(screenshot, "PNG") ? 0 : 1;
    }
    return QApplication::exec();
}
