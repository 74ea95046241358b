// quillmarsh: the desktop window.
//
//   quillmarsh                    shows the window
//   quillmarsh --help | --version prints and exits, without a display
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
#include <string_view>

#include "app/qt/main_window.h"
#include "app/qt/qt_user.h"
#include "platform/posix/posix_system.h"
#include "app/version.h"
#include "window/form1.h"

namespace {

constexpr char kUsage[] = "用法：quillmarsh [--screenshot 文件.png [--tab 次数]]\n";

constexpr char kHelp[] =
    "打开“文件随机分发”窗口：把导入目录中的文件随机分发到导出目录下编号的分发文件夹中。\n"
    "\n"
    "  --screenshot 文件.png  载入窗口后把它保存为 PNG 图片并退出（不显示窗口）\n"
    "  --tab 次数             保存之前先按这么多次 Tab 键\n"
    "  --help                 显示本说明并退出\n"
    "  --version              显示版本并退出\n"
    "\n"
    "命令行分发见 quillmarsh-batch --help。\n";

// --help and --version answer on the terminal: they are looked for before
// Qt connects to a display, which it cannot do in a terminal without one
// (it aborts). The first of them on the line answers, as with GNU's tools.
int answerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::fputs(qm::versionText("quillmarsh").c_str(), stdout);
            return 0;
        }
    }
    return -1;
}

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
    if (const int answered = answerWithoutWindow(argc, argv); answered >= 0) return answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quillmarsh"));
    // Wayland compositors find the window's desktop entry (its name and
    // icon in the task switcher) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(QM_APP_ID));
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
        std::fputs(kUsage, stderr);
        std::fputs("（quillmarsh --help 显示说明）\n", stderr);
        return 2;
    }

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
