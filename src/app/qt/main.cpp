// quillmarsh: the desktop window.
//
//   quillmarsh                    shows the window
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

#include "app/qt/main_window.h"
#include "app/qt/qt_platform.h"
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmarsh"));
    QTranslator translator;
    speakChinese(app, translator);

    QString screenshot;
    int tabs = 0;
    bool usable = true;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size() && usable; ++i) {
        if (args[i] == QLatin1String("--screenshot") && i + 1 < args.size()) {
            screenshot = args[++i];
        } else if (args[i] == QLatin1String("--tab") && i + 1 < args.size()) {
            tabs = args[++i].toInt(&usable);
            usable = usable && tabs >= 0;
        } else {
            usable = false;
        }
    }
    if (!usable || (tabs > 0 && screenshot.isEmpty())) {
        std::fprintf(stderr, "用法：quillmarsh [--screenshot 文件.png [--tab 次数]]\n");
        return 2;
    }

    qm::desktop::QtPlatform platform;
    qm::Form1 form(platform);
    qm::desktop::MainWindow window(form);
    platform.setWindow(&window);
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
