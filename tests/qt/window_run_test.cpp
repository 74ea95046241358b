// Drops on the folder labels and whole dispatch runs through the real widgets.
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <utility>

#include "app/qt/event_pump.h"
#include "app/qt/folder_dialog.h"
#include "app/qt/qt_user.h"
#include "qt/window_fixture.h"

using qm::test::WindowFixture;

namespace {

// A platform that lets the window repaint during a run as the real one does.
class PumpingPlatform : public qm::test::FakePlatform {
public:
    void keepResponsive() override {
        if (auto first = std::exchange(beforeFirstPump, nullptr)) first();
        pump_.pump();
    }
    // What the user does while the run is going, before the window first
    // paints during it.
    std::function<void()> beforeFirstPump;

private:
    qm::desktop::EventPump pump_;
};

// Counts the paints of any widget while the model's window is disabled,
// which is exactly while a run is going on.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const qm::Form1& form) : form_(form) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int duringRun = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !form_.enabled()) ++duringRun;
        return false;
    }

private:
    const qm::Form1& form_;
};

// A drag that enters the widget and is dropped there (Qt hands a drop only
// to the widget that accepted the drag's entry).
void drop(QWidget* target, QMimeData* data) {
    const QPointF at(5, 5);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at.toPoint(), actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent event(at, actions, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

std::size_t filesUnder(const std::filesystem::path& root) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT

private slots:
    void dropOnSourceLabel_data();
    void dropOnSourceLabel();
    void dispatchButtonRuns();
    void windowPaintsDuringRunAndTakesInputAfter();
    void ctrlZTakesTheLastRunBack_data();
    void ctrlZTakesTheLastRunBack();
    void theFolderDialogKeepsNoSettings();
    void thePumpPassesOnEscAndCloseAlone();
    void aRunIsStoppedByEscOrClosing_data();
    void aRunIsStoppedByEscOrClosing();
};

void WindowRunTest::dropOnSourceLabel_data() {
    QTest::addColumn<QStringList>("urls");  // %1: the test's folder
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("beeps");
    QTest::newRow("a folder") << QStringList{"file://%1/seven"} << "" << "7" << 0;
    QTest::newRow("two folders: the first counts")
        << QStringList{"file://%1/seven", "file://%1/src"} << "" << "7" << 0;
    QTest::newRow("a web address is no folder")
        << QStringList{"https://example.com/photos", "file://%1/seven"} << "" << "7" << 0;
    QTest::newRow("escapes decoded") << QStringList{"file://%1/with%20space"} << "" << "1" << 0;
    QTest::newRow("a name in bytes that are not UTF-8") << QStringList{"file://%1/caf%E9"} << "" << "3" << 0;
    QTest::newRow("text, no files") << QStringList{} << "not a folder" << "2" << 1;
}

void WindowRunTest::dropOnSourceLabel() {
    QFETCH(QStringList, urls);
    QFETCH(QString, text);
    QFETCH(QString, count);
    QFETCH(int, beeps);
    WindowFixture f(2);
    qm::test::makeFiles(f.dir, "seven", 7);
    qm::test::makeFiles(f.dir, "with space", 1);
    for (const char* name : {"1", "2", "3"}) f.dir.write(std::string("caf\xE9/") + name, name);  // Latin-1
    QVERIFY(f.show());

    QMimeData data;
    QList<QUrl> list;
    for (const QString& url : urls) list << QUrl::fromEncoded(url.arg(QString::fromStdString(f.dir.path())).toLatin1());
    if (!list.isEmpty()) data.setUrls(list);
    if (!text.isEmpty()) data.setText(text);
    drop(f.window->widgetOf(f.form->LDir), &data);

    QCOMPARE(f.platform.beeps, beeps);
    QCOMPARE(QString::fromStdU16String(f.form->LFiles.caption()), count);
    QCOMPARE(qobject_cast<QLabel*>(f.window->widgetOf(f.form->LFiles))->text(), count);
    QCOMPARE(qobject_cast<QLabel*>(f.window->widgetOf(f.form->LDir))->text(),
             QString::fromStdU16String(f.form->LDir.caption()));
}

void WindowRunTest::dispatchButtonRuns() {
    WindowFixture f(12);
    QVERIFY(f.show());
    // The target comes by a drop as well.
    std::filesystem::create_directories(f.dir.path() / "shares");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString((f.dir.path() / "shares").string()))});
    drop(f.window->widgetOf(f.form->LDirOut), &data);
    QCOMPARE(f.form->LDirOut.caption(), f.dir.u16("shares"));

    QTest::mouseClick(f.window->widgetOf(f.form->CmdDo), Qt::LeftButton);

    QCOMPARE(f.platform.boxes.size(), 1u);
    QCOMPARE(f.platform.boxes[0].prompt, u"分发完毕！");
    QCOMPARE(filesUnder(f.dir.path() / "shares"), 12u);
    QCOMPARE(filesUnder(f.dir.path() / "src"), 12u);  // copied, not moved
    QVERIFY(f.window->isEnabled());
    QCOMPARE(f.window->windowTitle(), QString("Quillmarsh"));
}

void WindowRunTest::windowPaintsDuringRunAndTakesInputAfter() {
    WindowFixture f(2000, std::make_unique<PumpingPlatform>());
    QVERIFY(f.show());
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    PaintCounter paints(*f.form);

    QTest::mouseClick(f.window->widgetOf(f.form->CmdDo), Qt::LeftButton);

    QCOMPARE(f.platform.boxes.size(), 1u);
    QCOMPARE(filesUnder(f.dir.path() / "out"), 2000u);
    QVERIFY(paints.duringRun > 0);
    QVERIFY(f.window->isEnabled());
    QVERIFY(f.hasFocus(f.form->CmdDo));
    QWidget* shares = f.window->widgetOf(f.form->TDivs);
    QTest::mouseClick(shares, Qt::LeftButton);
    QTest::keyClick(shares, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(shares, "9");
    QCOMPARE(f.form->TDivs.text(), u"9");
    QCOMPARE(qobject_cast<QLineEdit*>(shares)->text(), QString("9"));
}

void WindowRunTest::ctrlZTakesTheLastRunBack_data() {
    QTest::addColumn<bool>("run");     // a run before Ctrl+Z
    QTest::addColumn<bool>("answer");  // OK to the question
    QTest::addColumn<int>("beeps");
    QTest::addColumn<int>("dealt");  // files in the shares afterwards
    QTest::newRow("nothing to take back: a beep") << false << true << 1 << 0;
    QTest::newRow("asked, cancelled") << true << false << 0 << 12;
    QTest::newRow("asked, taken back") << true << true << 0 << 0;
}

void WindowRunTest::ctrlZTakesTheLastRunBack() {
    QFETCH(bool, run);
    QFETCH(bool, answer);
    QFETCH(int, beeps);
    QFETCH(int, dealt);
    WindowFixture f(12);
    f.platform.stateFolderPath = f.dir.u16("state");
    f.form->keepRecords = true;
    QVERIFY(f.show());
    QWidget* button = f.window->widgetOf(f.form->CmdDo);
    QVERIFY(button->toolTip().contains("Ctrl+Z"));
    if (run) QTest::mouseClick(button, Qt::LeftButton);
    f.platform.boxes.clear();
    f.platform.answers = {answer ? qm::MsgResult::Ok : qm::MsgResult::Cancel};

    QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);

    QCOMPARE(f.platform.beeps, beeps);
    QCOMPARE(f.platform.boxes.size(), std::size_t(run ? (answer ? 2 : 1) : 0));
    if (run) QVERIFY(f.platform.boxes[0].prompt.starts_with(u"撤销上次分发？"));
    QCOMPARE(filesUnder(f.dir.path() / "out"), std::size_t(dealt));
    QCOMPARE(filesUnder(f.dir.path() / "src"), 12u);
    QVERIFY(f.window->isEnabled());
    QCOMPARE(f.window->windowTitle(), QString("Quillmarsh"));
    if (!run || !answer) return;
    // The question and the report as the window shows them; Cancel is the
    // question's default. scripts/screenshot.sh keeps them for the documentation.
    for (std::size_t i = 0; i < 2; ++i) {
        const auto box = qm::desktop::makeMessageBox(f.platform.boxes[i], f.window.get());
        QCOMPARE(box->defaultButton()->text(), QString(i == 0 ? "取消" : "确定"));
        box->show();
        if (const QByteArray shots = qgetenv("QM_SCREENSHOT_DIR"); !shots.isEmpty())
            QVERIFY(box->grab().save(shots + (i == 0 ? "/undo-question.png" : "/undo-report.png")));
    }
}

// Qt's own folder dialog would remember its history in the user's settings;
// the window keeps no state, the dialog neither.
void WindowRunTest::theFolderDialogKeepsNoSettings() {
    qm::test::TempDir config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.str()));
    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    QVERIFY(qm::desktop::chooseFolder(nullptr, u"选择输出目录：", config.u16(), true).empty());
    QVERIFY(config.list().empty());
}

// Between files a run pumps the events: the user's input is dropped, but
// Esc and a window's close reach their window once the rest is done.
void WindowRunTest::thePumpPassesOnEscAndCloseAlone() {
    struct Escapes : QObject {
        int seen = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            seen += event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
            return false;
        }
    } escapes;
    QLineEdit line;
    line.show();
    QVERIFY(QTest::qWaitForWindowExposed(&line));
    line.installEventFilter(&escapes);
    QCoreApplication::postEvent(&line, new QKeyEvent(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, "9"));
    QCoreApplication::postEvent(&line, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QTimer::singleShot(0, &line, [&line] { line.close(); });
    qm::desktop::EventPump().pump();
    QCOMPARE(line.text(), QString());
    QCOMPARE(escapes.seen, 1);
    QVERIFY(!line.isVisible());
}

void WindowRunTest::aRunIsStoppedByEscOrClosing_data() {
    QTest::addColumn<bool>("closing");  // the window's close rather than Esc
    QTest::addColumn<bool>("answer");   // OK to 停止分发？
    QTest::newRow("Esc, OK: stopped, then taken back") << false << true;
    QTest::newRow("Esc, Cancel: the run goes on") << false << false;
    QTest::newRow("closing, OK: stopped, then the window closes") << true << true;
}

// While a run is going, Esc and the window's close ask to stop it and any
// other input is dropped; a stopped run says so and Ctrl+Z takes it back.
void WindowRunTest::aRunIsStoppedByEscOrClosing() {
    QFETCH(bool, closing);
    QFETCH(bool, answer);
    auto platform = std::make_unique<PumpingPlatform>();
    PumpingPlatform& user = *platform;
    WindowFixture f(40, std::move(platform));
    f.platform.stateFolderPath = f.dir.u16("state");
    f.platform.environment.emplace_back(u"QUILLMARSH_JOBS", u"1");  // one file in hand when the stop comes
    QVERIFY(f.show());
    QWidget* window = f.window.get();
    user.beforeFirstPump = [&] {
        // As the window system sends keys: queued, to the window.
        QTest::keyClick(window->windowHandle(), Qt::Key_9);
        if (closing) {
            QTimer::singleShot(0, window, [window] { window->close(); });
        } else {
            QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
        }
    };
    const std::u16string divs = f.form->TDivs.text();
    f.platform.answers = {answer ? qm::MsgResult::Ok : qm::MsgResult::Cancel};

    QTest::mouseClick(f.window->widgetOf(f.form->CmdDo), Qt::LeftButton);

    QCOMPARE(f.platform.boxes.size(), 2u);
    QCOMPARE(f.platform.boxes[0].prompt, u"停止分发？");
    QCOMPARE(f.platform.boxes[0].defaultButton, 1);  // Cancel
    const std::u16string& report = f.platform.boxes[1].prompt;
    QCOMPARE(report.find(u"分发已停止：") != std::u16string::npos, answer);
    const std::size_t dealt = filesUnder(f.dir.path() / "out");
    QVERIFY(answer ? dealt > 0 && dealt < 40 : dealt == 40);
    QCOMPARE(f.form->TDivs.text(), divs);  // the key typed meanwhile went nowhere
    if (closing) {
        QTRY_VERIFY(!window->isVisible());
        return;
    }
    QVERIFY(window->isVisible() && window->isEnabled());
    if (!answer) return;
    f.platform.answers = {qm::MsgResult::Ok};
    QTest::keyClick(f.window->widgetOf(f.form->CmdDo), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(filesUnder(f.dir.path() / "out"), 0u);
    QCOMPARE(filesUnder(f.dir.path() / "src"), 40u);
}

QTEST_MAIN(WindowRunTest)
#include "window_run_test.moc"
