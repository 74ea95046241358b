// The window for keyboard users: Enter presses the focused button, and the
// focus is drawn after keyboard moves.
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include "qt/window_fixture.h"

using qm::test::WindowFixture;

class WindowAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void enterPressesFocusedButton_data();
    void enterPressesFocusedButton();
    void keyboardFocusIsDrawn_data();
    void keyboardFocusIsDrawn();
};

void WindowAccessibilityTest::enterPressesFocusedButton_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<QString>("effect");  // a recorded platform call, or empty for none
    QTest::newRow("Return on 导入目录") << "CmdIn" << int(Qt::Key_Return) << false << "dialog 选择输出目录：";
    QTest::newRow("keypad Enter on 导出目录") << "CmdOut" << int(Qt::Key_Enter) << false << "dialog 选择输出目录：";
    QTest::newRow("Return on 分发: a run") << "CmdDo" << int(Qt::Key_Return) << false << "mkdir";
    QTest::newRow("keypad Enter on 分发: a run") << "CmdDo" << int(Qt::Key_Enter) << false << "mkdir";
    QTest::newRow("a held key's repeat starts nothing") << "CmdDo" << int(Qt::Key_Return) << true << "";
}

void WindowAccessibilityTest::enterPressesFocusedButton() {
    QFETCH(QString, button);
    QFETCH(int, key);
    QFETCH(bool, autoRepeat);
    QFETCH(QString, effect);
    WindowFixture f(3);
    QVERIFY(f.show());
    qm::Control& control = *f.form->control(button.toStdU16String());
    QVERIFY(f.form->setFocus(control));
    QVERIFY(f.hasFocus(control));

    const Qt::KeyboardModifiers held = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, key, held, QStringLiteral("\r"), autoRepeat);
    QApplication::sendEvent(QApplication::focusWidget(), &press);

    if (effect.isEmpty()) {
        QVERIFY(f.platform.calls.empty());
    } else {
        QVERIFY2(f.platform.indexOf(effect.toStdU16String()) >= 0, qPrintable(effect));
    }
}

void WindowAccessibilityTest::keyboardFocusIsDrawn_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("tabs");  // from 导入目录, where the window opens
    QTest::newRow("push button 分发") << "CmdDo" << 3;
    QTest::newRow("option button 平均分发") << "Opt2" << 4;
    QTest::newRow("check box 移走原文件") << "ChBackUp" << 6;
}

// What the user sees: the control looks different once Tab has put the focus on it.
void WindowAccessibilityTest::keyboardFocusIsDrawn() {
    QFETCH(QString, control);
    QFETCH(int, tabs);
    WindowFixture f(3);
    QVERIFY(f.show());
    qm::Control& target = *f.form->control(control.toStdU16String());
    QWidget* w = f.window->widgetOf(target);
    const QImage unfocused = w->grab().toImage();
    for (int i = 0; i < tabs; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(f.form->focused(), &target);
    QVERIFY(f.hasFocus(target));
    QVERIFY(w->grab().toImage() != unfocused);
}

QTEST_MAIN(WindowAccessibilityTest)
#include "window_accessibility_test.moc"
