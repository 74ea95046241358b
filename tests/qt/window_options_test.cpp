// The options dialog (分发选项) through the real Qt window: opened by its
// shortcut, its fields named for screen readers, its rules of what may be
// chosen with what, its warning, and what its options do to the window.
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <type_traits>

#include "qt/window_fixture.h"

using qm::test::WindowFixture;

namespace {

// The dialog's widget of the kind W named `name` for a screen reader
// (a field and the label beside it share a name).
template <typename W = QWidget>
W* field(QDialog& dialog, const QString& name) {
    for (W* w : dialog.findChildren<W*>()) {
        if (w->accessibleName() == name && !qobject_cast<QLabel*>(w) == !std::is_same_v<W, QLabel>) return w;
    }
    return nullptr;
}

void click(QWidget* w) {
    QVERIFY(w);
    // On the box or the dot: a click beside a short caption misses the button.
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(6, w->height() / 2));
}

void retype(QWidget* w, const QString& text) {
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    // Pasted over the selection: the test's keyboard has no Chinese keys.
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
}

// Opens the dialog with Ctrl+Shift+O and runs `body` in it; the dialog is
// cancelled afterwards if `body` left it open. Whether it opened at all.
bool inDialog(WindowFixture& f, const std::function<void(QDialog&)>& body) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        opened = true;
        body(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    QTest::keyClick(f.window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    return opened;
}

std::size_t filesUnder(const std::filesystem::path& root) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) n += e.is_regular_file() ? 1 : 0;
    return n;
}

}  // namespace

class WindowOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void theDialogShowsItsTable();
    void choicesEnableAndDisableEachOther_data();
    void choicesEnableAndDisableEachOther();
    void aBadFieldIsToldAndTheDialogStays();
    void theWindowDealsAsTheOptionsSay();
};

// Every field of the table, by its name, with its state at the start, its
// keys; Esc closes the dialog and changes nothing.
void WindowOptionsTest::theDialogShowsItsTable() {
    WindowFixture f(3);
    QVERIFY(f.show());
    struct Row {
        const char* name;
        const char* kind;
        bool enabled;
    };
    const Row rows[] = {{"包含子文件夹", "QCheckBox", true},       {"按子文件夹分别分发", "QCheckBox", false},
                        {"按比例分发", "QCheckBox", true},         {"比例", "QLineEdit", false},
                        {"名称", "QLineEdit", false},              {"方式", "", true},
                        {"复制或移动（按主窗口）", "QRadioButton", true}, {"硬链接", "QRadioButton", true},
                        {"符号链接", "QRadioButton", true},        {"克隆", "QRadioButton", true},
                        {"每份共同文件数", "QLineEdit", true},     {"只生成清单，不复制文件", "QCheckBox", true},
                        {"确定", "QPushButton", true},             {"取消", "QPushButton", true},
                        {"恢复默认", "QPushButton", true}};
    QString title, font;
    QStringList wrong;
    QVERIFY(inDialog(f, [&](QDialog& d) {
        title = d.windowTitle();
        font = d.font().toString();
        for (const Row& row : rows) {
            QWidget* w = field(d, QString::fromUtf8(row.name));
            if (!w || (*row.kind && !w->inherits(row.kind)) || w->isEnabled() != row.enabled) wrong << row.name;
        }
        if (!field<QLineEdit>(d, "比例") || field<QLineEdit>(d, "比例")->text() != "8:1:1") wrong << "8:1:1";
        if (!field<QRadioButton>(d, "复制或移动（按主窗口）")->isChecked()) wrong << "copy checked";
        if (const QByteArray shots = qgetenv("QM_SCREENSHOT_DIR"); !shots.isEmpty())
            d.grab().save(shots + "/options-dialog.png");
        // The table's tab order passes over what is disabled; an access key
        // is the model's, as a click is.
        // The offscreen platform hands the keyboard back to the main window,
        // as no window manager would.
        QApplication::setActiveWindow(&d);
        if (d.focusWidget() != field(d, "包含子文件夹")) wrong << "first focus";
        QTest::keyClick(d.focusWidget(), Qt::Key_Tab);
        if (d.focusWidget() != field(d, "按比例分发")) wrong << "Tab";
        QTest::keyClick(d.focusWidget(), Qt::Key_R, Qt::AltModifier);
        if (!field<QLineEdit>(d, "比例")->isEnabled()) wrong << "Alt+R";
        QTest::keyClick(field(d, "每份共同文件数"), Qt::Key_Escape);
        if (d.isVisible()) wrong << "Esc left it open";
    }));
    QCOMPARE(title, QString("分发选项"));
    QCOMPARE(font, f.window->font().toString());
    QCOMPARE(wrong.join(" | "), QString());
    QCOMPARE(f.window->windowTitle(), QString("Quillmarsh"));
}

void WindowOptionsTest::choicesEnableAndDisableEachOther_data() {
    QTest::addColumn<bool>("moving");        // 移走原文件 checked in the window
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");
    QTest::newRow("subfolders") << false << QStringList{"包含子文件夹"} << QStringList{"按子文件夹分别分发"}
                                << QStringList{"比例"};
    QTest::newRow("subfolders off again") << false << QStringList{"包含子文件夹", "包含子文件夹"} << QStringList{}
                                          << QStringList{"按子文件夹分别分发"};
    QTest::newRow("ratio") << false << QStringList{"按比例分发"} << QStringList{"比例", "名称"} << QStringList{};
    QTest::newRow("a link") << false << QStringList{"硬链接"} << QStringList{"每份共同文件数"}
                            << QStringList{"只生成清单，不复制文件"};
    QTest::newRow("a list") << false << QStringList{"只生成清单，不复制文件"} << QStringList{}
                            << QStringList{"硬链接", "符号链接", "克隆"};
    QTest::newRow("moving") << true << QStringList{} << QStringList{"复制或移动（按主窗口）"}
                            << QStringList{"硬链接", "克隆", "只生成清单，不复制文件", "每份共同文件数"};
}

void WindowOptionsTest::choicesEnableAndDisableEachOther() {
    QFETCH(bool, moving);
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    WindowFixture f(3);
    QVERIFY(f.show());
    if (moving) click(f.window->widgetOf(f.form->ChBackUp));
    QCOMPARE(f.form->ChBackUp.value() != 0, moving);
    QStringList wrong;
    QVERIFY(inDialog(f, [&](QDialog& d) {
        for (const QString& name : clicks) click(field(d, name));
        for (const QString& name : enabled)
            if (!field(d, name) || !field(d, name)->isEnabled()) wrong << name + " disabled";
        for (const QString& name : disabled)
            if (!field(d, name) || field(d, name)->isEnabled()) wrong << name + " enabled";
    }));
    QCOMPARE(wrong, QStringList());
}

// Weights that are no ratio: a 警告 box says so and the dialog stays with
// what was typed; its close box then cancels, leaving the window as it was.
void WindowOptionsTest::aBadFieldIsToldAndTheDialogStays() {
    WindowFixture f(3);
    QVERIFY(f.show());
    bool stayed = false;
    QString typed;
    QVERIFY(inDialog(f, [&](QDialog& d) {
        click(field(d, "按比例分发"));
        retype(field<QLineEdit>(d, "比例"), "8");
        QTest::mouseClick(field(d, "确定"), Qt::LeftButton);
        stayed = d.isVisible();
        typed = field<QLineEdit>(d, "比例")->text();
        d.close();
    }));
    QVERIFY(stayed);
    QCOMPARE(typed, QString("8"));
    QCOMPARE(f.platform.boxes.size(), 1u);
    QCOMPARE(f.platform.boxes[0].title, u"警告");
    QVERIFY(f.form->options.isDefault());
    QCOMPARE(f.window->windowTitle(), QString("Quillmarsh"));
}

// Subfolders and a ratio into named shares: the title says so, the count
// is of every file below, the modes are off, and a run deals by the ratio.
void WindowOptionsTest::theWindowDealsAsTheOptionsSay() {
    WindowFixture f(6);
    qm::test::makeFiles(f.dir, "src/sub", 4);
    QVERIFY(f.show());
    QCOMPARE(f.widget<QLabel>(f.form->LFiles)->text(), QString("6"));
    QVERIFY(inDialog(f, [&](QDialog& d) {
        click(field(d, "包含子文件夹"));
        click(field(d, "按比例分发"));
        retype(field<QLineEdit>(d, "比例"), "4:1");
        retype(field<QLineEdit>(d, "名称"), "训练,测试");
        QTest::mouseClick(field(d, "确定"), Qt::LeftButton);
    }));
    QCOMPARE(f.window->windowTitle(), QString("Quillmarsh［按比例 4:1，含子文件夹］"));
    QCOMPARE(f.widget<QLabel>(f.form->LFiles)->text(), QString("10"));
    for (const qm::Control* off : {static_cast<qm::Control*>(&f.form->Opt1), static_cast<qm::Control*>(&f.form->TDivs)})
        QVERIFY(!f.window->widgetOf(*off)->isEnabled());

    QTest::mouseClick(f.window->widgetOf(f.form->CmdDo), Qt::LeftButton);
    const std::filesystem::path out = f.dir.path() / "out";
    QCOMPARE(filesUnder(out / "src_分发训练"), 8u);
    QCOMPARE(filesUnder(out / "src_分发测试"), 2u);
}

QTEST_MAIN(WindowOptionsTest)
#include "window_options_test.moc"
