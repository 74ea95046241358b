// The layout table becomes the widgets: kinds, places, sizes and the
// properties the table gives, and the window around them.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/qt/main_window.h"
#include "app/qt/qt_text.h"
#include "support/fake_platform.h"
#include "window/form1.h"

using qm::desktop::MainWindow;
using qm::desktop::toQString;

class WindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void widgetsFromTable_data();
    void widgetsFromTable();
    void windowHasFixedClientSize();
    void tableProperties();
    void countLabelFollowsItsCaption();
};

void WindowLayoutTest::widgetsFromTable_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("widgetClass");
    QTest::addColumn<QString>("parentControl");  // empty: the window
    QTest::addColumn<QRect>("pixels");

    QTest::newRow("button") << "CmdIn" << 1.0 << "QPushButton" << "" << QRect(0, 0, 105, 25);
    QTest::newRow("folder label") << "LDirOut" << 1.0 << "QLabel" << "" << QRect(112, 32, 289, 17);
    QTest::newRow("filter list") << "Combo1" << 1.0 << "QComboBox" << "" << QRect(177, 56, 73, 20);
    QTest::newRow("text box") << "TDivs" << 1.0 << "QLineEdit" << "" << QRect(176, 104, 41, 18);
    QTest::newRow("option") << "Opt2" << 1.0 << "QRadioButton" << "" << QRect(8, 104, 73, 17);
    QTest::newRow("frame") << "Frame1" << 1.0 << "QGroupBox" << "" << QRect(256, 56, 145, 81);
    QTest::newRow("check box in frame") << "ChBackUp" << 1.0 << "QCheckBox" << "Frame1" << QRect(16, 16, 89, 17);
    QTest::newRow("option in frame") << "Option2" << 1.0 << "QRadioButton" << "Frame1" << QRect(16, 64, 121, 12);
    QTest::newRow("link label") << "Label5" << 1.0 << "QLabel" << "" << QRect(192, 128, 57, 17);
    QTest::newRow("button, 192 dpi") << "CmdIn" << 2.0 << "QPushButton" << "" << QRect(0, 0, 210, 50);
    QTest::newRow("option in frame, 144 dpi")
        << "Option1" << 1.5 << "QRadioButton" << "Frame1" << QRect(24, 60, 182, 18);
}

void WindowLayoutTest::widgetsFromTable() {
    QFETCH(QString, control);
    QFETCH(double, scale);
    QFETCH(QString, widgetClass);
    QFETCH(QString, parentControl);
    QFETCH(QRect, pixels);

    qm::test::FakePlatform platform;
    qm::Form1 form(platform);
    MainWindow window(form, scale);
    QWidget* w = window.widgetOf(*form.control(control.toStdU16String()));
    QVERIFY(w);
    QVERIFY(w->inherits(widgetClass.toLatin1().constData()));
    QWidget* parent = parentControl.isEmpty() ? &window : window.widgetOf(*form.control(parentControl.toStdU16String()));
    QCOMPARE(w->parentWidget(), parent);
    QCOMPARE(w->geometry(), pixels);
}

void WindowLayoutTest::windowHasFixedClientSize() {
    qm::test::FakePlatform platform;
    qm::Form1 form(platform);
    MainWindow window(form, 1.0);
    QCOMPARE(window.minimumSize(), QSize(418, 144));
    QCOMPARE(window.maximumSize(), QSize(418, 144));
    QCOMPARE(window.windowTitle(), QString("Quillmarsh"));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!window.windowIcon().availableSizes().isEmpty());

    // Every control but the hidden file list has a widget.
    for (qm::Control* c : form.controls()) QCOMPARE(window.widgetOf(*c) == nullptr, c == &form.File1);
}

void WindowLayoutTest::tableProperties() {
    qm::test::FakePlatform platform;
    qm::Form1 form(platform);
    MainWindow window(form, 1.0);
    auto* ldir = qobject_cast<QLabel*>(window.widgetOf(form.LDir));
    QCOMPARE(ldir->toolTip(), QString("支持文件夹拖放"));
    QVERIFY(ldir->acceptDrops());
    QVERIFY(!window.widgetOf(form.Label1)->acceptDrops());
    QVERIFY(!window.widgetOf(form.TParts)->isEnabled());
    QVERIFY(window.widgetOf(form.TDivs)->isEnabled());
    auto* combo = qobject_cast<QComboBox*>(window.widgetOf(form.Combo1));
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), static_cast<int>(form.Combo1.items().size()));
    QCOMPARE(combo->itemText(1), QString("常用图片格式"));
    QCOMPARE(combo->currentText(), QString("*.*"));
    for (QWidget* w : {static_cast<QWidget*>(combo->lineEdit()), window.widgetOf(form.TDivs)})
        QVERIFY(!w->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!qobject_cast<QRadioButton*>(window.widgetOf(form.Opt1))->autoExclusive());
    QVERIFY(qobject_cast<QRadioButton*>(window.widgetOf(form.Opt2))->isChecked());
}

// The count label grows and shrinks with its caption and keeps its left edge.
void WindowLayoutTest::countLabelFollowsItsCaption() {
    qm::test::FakePlatform platform;
    qm::Form1 form(platform);
    MainWindow window(form, 1.0);
    QWidget* count = window.widgetOf(form.LFiles);
    form.LFiles.setCaption(u"1234567");
    const QRect wide = count->geometry();
    form.LFiles.setCaption(u"7");
    const QRect narrow = count->geometry();
    QCOMPARE(wide.left(), 128);
    QCOMPARE(narrow.left(), 128);
    QVERIFY(wide.width() > narrow.width());
    QCOMPARE(qobject_cast<QLabel*>(count)->text(), QString("7"));
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
