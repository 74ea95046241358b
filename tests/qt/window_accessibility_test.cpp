// The window for keyboard users and screen readers: Enter presses the focused
// button, the focus is drawn after keyboard moves, every control has a name
// that assistive tools read, and the filter list opens wide enough to read.
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
    void everyControlHasAName_data();
    void everyControlHasAName();
    void valueLabelsSayTheirValue_data();
    void valueLabelsSayTheirValue();
    void linkIsALinkThatOpens();
    void filterListShowsLongestItemWhole();
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

void WindowAccessibilityTest::everyControlHasAName_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("role");
    QTest::newRow("import button") << "CmdIn" << "导入目录" << int(QAccessible::Button);
    QTest::newRow("dispatch button") << "CmdDo" << "分  发" << int(QAccessible::Button);
    QTest::newRow("filter list") << "Combo1" << "文件类型" << int(QAccessible::ComboBox);
    QTest::newRow("files per share") << "TParts" << "每份抽取" << int(QAccessible::EditableText);
    QTest::newRow("number of shares") << "TDivs" << "均分份数" << int(QAccessible::EditableText);
    QTest::newRow("mode") << "Opt2" << "平均分发" << int(QAccessible::RadioButton);
    QTest::newRow("move choice") << "ChBackUp" << "移走原文件" << int(QAccessible::CheckBox);
    QTest::newRow("frame") << "Frame1" << "分发选项" << int(QAccessible::Grouping);
    QTest::newRow("link") << "Label5" << "作者主页" << int(QAccessible::Link);
}

void WindowAccessibilityTest::everyControlHasAName() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(int, role);
    WindowFixture f(3);
    QWidget* w = f.window->widgetOf(*f.form->control(control.toStdU16String()));
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    QVERIFY(face);
    QCOMPARE(int(face->role()), role);
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        // On Linux Qt reads a list's text as its name; what names it is the
        // label it is labelled by. The focus sits in its line edit, which is
        // named like the list.
        const auto labels = face->relations(QAccessible::Label);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.first().first->text(QAccessible::Name), name);
        QCOMPARE(QAccessible::queryAccessibleInterface(combo->lineEdit())->text(QAccessible::Name), name);
    } else {
        QCOMPARE(face->text(QAccessible::Name), name);
    }

    // No shown control is left without a name.
    for (qm::Control* c : f.form->controls()) {
        if (QWidget* shown = f.window->widgetOf(*c))
            QVERIFY2(!QAccessible::queryAccessibleInterface(shown)->text(QAccessible::Name).isEmpty(),
                     qPrintable(QString::fromStdU16String(c->name())));
    }
}

void WindowAccessibilityTest::valueLabelsSayTheirValue_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("newValue");
    QTest::newRow("import folder") << "LDir" << "导入目录" << "支持文件夹拖放" << "/srv/照片";
    QTest::newRow("export folder") << "LDirOut" << "导出目录" << "支持文件夹拖放" << "/srv/分发";
    QTest::newRow("file count") << "LFiles" << "当前目录文件总数" << "" << "12345";
}

// A screen reader on Linux reads a label's name: the folders and the count
// are there, after the words that say what they are, and follow them. (That
// a change is announced needs Qt's accessibility bridge, which the offscreen
// platform has not: tests/atspi checks it.)
void WindowAccessibilityTest::valueLabelsSayTheirValue() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, newValue);
    WindowFixture f(3);
    auto& label = static_cast<qm::Label&>(*f.form->control(control.toStdU16String()));
    QWidget* w = f.window->widgetOf(label);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
    QCOMPARE(face->text(QAccessible::Name), name + "：" + QString::fromStdU16String(label.caption()));
    QCOMPARE(face->text(QAccessible::Description), description);
    label.setCaption(newValue.toStdU16String());
    QCOMPARE(face->text(QAccessible::Name), name + "：" + newValue);
    QCOMPARE(face->text(QAccessible::Value), newValue);
}

// The home-page link is a link, and its action follows it as a click does
// (here to the read-me beside the program: the build names no home page).
void WindowAccessibilityTest::linkIsALinkThatOpens() {
    WindowFixture f(3);
    f.dir.write("src/README.txt", "read me");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(f.window->widgetOf(f.form->Label5));
    QCOMPARE(face->role(), QAccessible::Link);
    QVERIFY(face->state().linked);
    QAccessibleActionInterface* actions = face->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(f.platform.opened, std::vector<std::u16string>{f.dir.u16("src/README.txt")});
}

void WindowAccessibilityTest::filterListShowsLongestItemWhole() {
    WindowFixture f(3);
    QVERIFY(f.show());
    auto* combo = qobject_cast<QComboBox*>(f.window->widgetOf(f.form->Combo1));
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    const int visibleWidth = list->viewport()->width();
    // The widest entry is "*.jpg;*.jpeg;*.jpe;*.jfi", not the longest in characters alone.
    for (int row = 0; row < combo->count(); ++row) {
        const QModelIndex index = combo->model()->index(row, 0);
        QVERIFY2(list->sizeHintForIndex(index).width() <= visibleWidth, qPrintable(combo->itemText(row)));
    }
    QVERIFY(list->window()->width() > combo->width());
    combo->hidePopup();
}

QTEST_MAIN(WindowAccessibilityTest)
#include "window_accessibility_test.moc"
