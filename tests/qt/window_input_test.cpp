// The keyboard and the mouse reach the model, and the model's answer reaches
// the widgets: typed keys, pastes, the line edit's own edits, the focus with
// its Validate, the tab order and the dispatch mode. The rules themselves
// are the core's (tests/input, tests/settings).
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "qt/window_fixture.h"

using qm::test::WindowFixture;

namespace {

constexpr int kProgramFiles = 100;

QLineEdit* lineOf(const WindowFixture& f, const qm::Control& control) {
    QWidget* w = f.window->widgetOf(control);
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->lineEdit();
    return qobject_cast<QLineEdit*>(w);
}

qm::EditControl& editNamed(WindowFixture& f, const QString& name) {
    return static_cast<qm::EditControl&>(*f.form->control(name.toStdU16String()));
}

void clearWithKeys(QWidget* w) {
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Backspace);
}

// Waits for the focus corrections that run once Qt's own focus change is over.
void settle() { QCoreApplication::processEvents(); }

}  // namespace

class WindowInputTest : public QObject {
    Q_OBJECT

private slots:
    void keystrokes_data();
    void keystrokes();
    void lineEditOwnEditsReachModel();
    void pasteKeepsLengthLimit();
    void leavingBadFilterKeepsFocus_data();
    void leavingBadFilterKeepsFocus();
    void tabFollowsModelOrder();
    void modeSwitchRewritesCounts();
    void chosenListItemBecomesFilter();
    void linkLabelAsksForPointingHand();
};

void WindowInputTest::keystrokes_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("fixedMode");  // click "固定分发" first
    QTest::addColumn<bool>("clear");      // Ctrl+A, Backspace first
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("beeps");

    QTest::newRow("filter: punctuation refused") << "Combo1" << false << true << "ab?p-ng" << "*.png" << 2;
    QTest::newRow("shares: typed at the caret") << "TDivs" << false << false << "8" << "58" << 0;
    QTest::newRow("per share: disabled") << "TParts" << false << false << "7" << "50" << 0;
    QTest::newRow("per share: replaces selection") << "TParts" << true << false << "25" << "25" << 0;
}

void WindowInputTest::keystrokes() {
    QFETCH(QString, control);
    QFETCH(bool, fixedMode);
    QFETCH(bool, clear);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    QFETCH(int, beeps);

    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    if (fixedMode) QTest::mouseClick(f.window->widgetOf(f.form->Opt1), Qt::LeftButton);
    qm::EditControl& edit = editNamed(f, control);
    QWidget* target = f.window->widgetOf(edit);
    if (clear) clearWithKeys(target);
    QTest::keyClicks(target, keys);

    QCOMPARE(QString::fromStdU16String(edit.text()), expected);
    QCOMPARE(lineOf(f, edit)->text(), expected);
    QCOMPARE(f.platform.beeps, beeps);
}

// Delete, cut and the caret are the line edit's; their outcome is the model's text.
void WindowInputTest::lineEditOwnEditsReachModel() {
    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    QWidget* box = f.window->widgetOf(f.form->TDivs);
    clearWithKeys(box);
    QTest::keyClicks(box, "1234");
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(f.form->TDivs.text(), u"234");
    // The selection made with Shift+Right is what the next key replaces.
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(f.form->TDivs.selLength(), 1u);
    QTest::keyClick(box, Qt::Key_9);
    QCOMPARE(f.form->TDivs.text(), u"934");
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(f.form->TDivs.text(), u"");
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("934"));
}

void WindowInputTest::pasteKeepsLengthLimit() {
    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    QWidget* box = f.window->widgetOf(f.form->TDivs);
    QGuiApplication::clipboard()->setText("98765432");
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(f.form->TDivs.text(), u"987654");
    QCOMPARE(lineOf(f, f.form->TDivs)->text(), QString("987654"));
    QCOMPARE(f.platform.beeps, 0);  // a paste is no keystroke
}

void WindowInputTest::leavingBadFilterKeepsFocus_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Tab") << "tab";
    QTest::newRow("Shift+Tab") << "backtab";
    QTest::newRow("click another text box") << "click TDivs";
    QTest::newRow("click the dispatch button") << "click CmdDo";
    QTest::newRow("access key Alt+O") << "alt+o";
}

void WindowInputTest::leavingBadFilterKeepsFocus() {
    QFETCH(QString, how);
    WindowFixture f(kProgramFiles);
    // "*." lists the names without an extension: with one there, the
    // dispatch button stays enabled while the filter is bad.
    f.dir.write("src/README", "read me");
    f.form->File1.refresh();  // the folder was read at start-up, before the file was there
    QVERIFY(f.show());
    qm::Form1& form = *f.form;
    QWidget* combo = f.window->widgetOf(form.Combo1);
    QTest::mouseClick(lineOf(f, form.Combo1), Qt::LeftButton);
    QVERIFY(f.hasFocus(form.Combo1));
    clearWithKeys(combo);
    QTest::keyClicks(combo, "ab");  // "*.": too short to leave the box

    auto leave = [&] {
        if (how == "tab") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (how == "backtab") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        if (how == "click TDivs") QTest::mouseClick(f.window->widgetOf(form.TDivs), Qt::LeftButton);
        if (how == "click CmdDo") QTest::mouseClick(f.window->widgetOf(form.CmdDo), Qt::LeftButton);
        if (how == "alt+o") QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        settle();
    };
    leave();
    QCOMPARE(f.platform.boxes.size(), 1u);
    QCOMPARE(QString::fromStdU16String(f.platform.boxes[0].title), QString("错误——非法文件类型"));
    QCOMPARE(form.focused(), &form.Combo1);
    QVERIFY(f.hasFocus(form.Combo1));
    QCOMPARE(lineOf(f, form.Combo1)->text(), QString("*."));
    // What leaving would have started did not happen.
    QVERIFY(f.platform.dialogs.empty());
    QCOMPARE(f.platform.indexOf(u"mkdir"), -1);

    // Once the filter is good, the same move leaves the box.
    QTest::keyClicks(combo, "txt");
    leave();
    QCOMPARE(f.platform.boxes.size(), how == "click CmdDo" ? 2u : 1u);  // the dispatch ran: its closing message
    QCOMPARE(f.platform.dialogs.size(), how == "alt+o" ? 1u : 0u);
    QVERIFY(form.focused() != &form.Combo1);
    QVERIFY(!f.hasFocus(form.Combo1));
}

void WindowInputTest::tabFollowsModelOrder() {
    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    qm::Form1& form = *f.form;
    QVERIFY(f.hasFocus(form.CmdIn));
    // The disabled per-share box is skipped; each option group is one stop,
    // at its selected button.
    const std::vector<qm::Control*> forward{&form.CmdOut, &form.Combo1,   &form.CmdDo,   &form.Opt2,
                                            &form.TDivs,  &form.ChBackUp, &form.Option2, &form.CmdIn};
    for (qm::Control* expected : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        QCOMPARE(form.focused(), expected);
        QVERIFY2(f.hasFocus(*expected), qPrintable(QString::fromStdU16String(expected->name())));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(form.focused(), &form.Option2);
    QVERIFY(f.hasFocus(form.Option2));
}

void WindowInputTest::modeSwitchRewritesCounts() {
    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    qm::Form1& form = *f.form;
    clearWithKeys(f.window->widgetOf(form.TDivs));
    QTest::keyClicks(f.window->widgetOf(form.TDivs), "7");

    QTest::mouseClick(f.window->widgetOf(form.Opt1), Qt::LeftButton);
    QVERIFY(qobject_cast<QRadioButton*>(f.window->widgetOf(form.Opt1))->isChecked());
    QVERIFY(!qobject_cast<QRadioButton*>(f.window->widgetOf(form.Opt2))->isChecked());
    QCOMPARE(lineOf(f, form.TParts)->text(), QString("50"));
    QVERIFY(f.window->widgetOf(form.TParts)->isEnabled());
    QVERIFY(!f.window->widgetOf(form.TDivs)->isEnabled());
    QVERIFY(f.hasFocus(form.TParts));
    QCOMPARE(lineOf(f, form.TParts)->selectedText(), QString("50"));

    // Clicking the selected button again changes nothing, even though Qt's
    // radio button unchecks itself on a click.
    QTest::mouseClick(f.window->widgetOf(form.Opt1), Qt::LeftButton);
    QVERIFY(qobject_cast<QRadioButton*>(f.window->widgetOf(form.Opt1))->isChecked());

    // The arrow keys step through the group, selecting as they go.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QVERIFY(!qobject_cast<QRadioButton*>(f.window->widgetOf(form.Opt1))->isChecked());
    QCOMPARE(lineOf(f, form.TDivs)->text(), QString("5"));
    QVERIFY(!f.window->widgetOf(form.TParts)->isEnabled());
    QVERIFY(f.hasFocus(form.TDivs));
}

void WindowInputTest::chosenListItemBecomesFilter() {
    WindowFixture f(kProgramFiles);
    f.dir.write("src/picture.png", "png");
    f.form->File1.refresh();  // the folder was read at start-up, before the file was there
    QVERIFY(f.show());
    auto* combo = qobject_cast<QComboBox*>(f.window->widgetOf(f.form->Combo1));
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    // The arrow keys step through the list, choosing each entry they reach:
    // 所有, 常用图片格式, *.bmp..., *.jpg..., *.png.
    for (int i = 0; i < 5; ++i) QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(f.form->Combo1.listIndex(), 4);
    QCOMPARE(f.form->Combo1.text(), u"*.png");
    QCOMPARE(combo->lineEdit()->text(), QString("*.png"));
    QCOMPARE(f.form->LFiles.caption(), u"1");
    QCOMPARE(qobject_cast<QLabel*>(f.window->widgetOf(f.form->LFiles))->text(), QString("1"));
    // A chosen entry needs no check when the focus leaves.
    QTest::keyClick(combo, Qt::Key_Tab);
    QVERIFY(f.platform.boxes.empty());
    QCOMPARE(f.form->focused(), &f.form->CmdDo);
}

void WindowInputTest::linkLabelAsksForPointingHand() {
    WindowFixture f(kProgramFiles);
    QVERIFY(f.show());
    QTest::mouseMove(f.window->widgetOf(f.form->Label1));
    QCOMPARE(f.platform.indexOf(u"pointer"), -1);
    QTest::mouseMove(f.window->widgetOf(f.form->Label5));
    QVERIFY(f.platform.indexOf(u"pointer") >= 0);
}

QTEST_MAIN(WindowInputTest)
#include "window_input_test.moc"
