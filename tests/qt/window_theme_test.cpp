// The window under any theme: a large desktop font (set for the application
// and for each kind of widget, as platform themes do) and a dark palette.
// Every control keeps the window's font, no caption is cut off, the link
// reads on its background, and a long path is cut in the middle and shown
// whole in its tooltip. With QM_SCREENSHOT_DIR set, the window under each
// theme is saved there (scripts/screenshot.sh).
#include <QAbstractButton>
#include <algorithm>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStyleOption>
#include <QTest>

#include "app/qt/bound_label.h"
#include "app/qt/link_color.h"
#include "qt/window_fixture.h"

using qm::desktop::BoundLabel;
using qm::desktop::contrastRatio;
using qm::desktop::kReadableContrast;
using qm::test::WindowFixture;

namespace {

// `share` of the way from a to b (below 0: away from b).
QColor mix(const QColor& a, const QColor& b, float share) {
    auto channel = [share](float from, float to) { return std::clamp(from + (to - from) * share, 0.0f, 1.0f); };
    return QColor::fromRgbF(channel(a.redF(), b.redF()), channel(a.greenF(), b.greenF()),
                            channel(a.blueF(), b.blueF()));
}

// A desktop theme's palette, from its window, text and link colours.
QPalette paletteOf(const QColor& window, const QColor& text, const QColor& link) {
    const bool dark = window.lightnessF() < 0.5;
    QPalette palette;
    for (auto [role, colour] : {std::pair{QPalette::Window, window}, {QPalette::Button, window},
                                {QPalette::WindowText, text}, {QPalette::ButtonText, text}, {QPalette::Text, text},
                                {QPalette::Base, dark ? window.darker(125) : QColor(Qt::white)},
                                {QPalette::Light, mix(window, text, -0.15f)}, {QPalette::Midlight, mix(window, text, 0.1f)},
                                {QPalette::Mid, mix(window, text, 0.35f)}, {QPalette::Dark, mix(window, text, 0.5f)},
                                {QPalette::Link, link}})
        palette.setColor(role, colour);
    return palette;
}

// Adwaita-dark's colours, with the classic pure blue as its link colour,
// the worst case on a dark background.
QPalette darkPalette() { return paletteOf(QColor("#353535"), QColor("#eeeeec"), QColor(0, 0, 255)); }

// The caption a control shows, and the room the style leaves it.
struct Caption {
    QString text;
    QRect room;
};

Caption captionOf(QWidget* w) {
    if (auto* label = dynamic_cast<BoundLabel*>(w)) return {label->shownText(), label->contentsRect()};
    if (auto* frame = qobject_cast<QGroupBox*>(w)) return {frame->title(), frame->rect().adjusted(10, 0, 0, 0)};
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QStyle::SubElement contents = w->inherits("QCheckBox")      ? QStyle::SE_CheckBoxContents
                                            : w->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                                                                          : QStyle::SE_PushButtonContents;
        return {QString(button->text()).remove(u'&'), w->style()->subElementRect(contents, &option, w)};
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) return {combo->currentText(), combo->lineEdit()->rect()};
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return {edit->text(), edit->rect()};
    return {};
}

// The most contrast any pixel of the picture has with the background: the
// core of the strokes, which is what the eye reads.
double strongestContrast(const QImage& picture, const QColor& background) {
    double strongest = 1;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            strongest = std::max(strongest, contrastRatio(picture.pixelColor(x, y), background));
    }
    return strongest;
}

}  // namespace

class WindowThemeTest : public QObject {
    Q_OBJECT

private slots:
    void captionsFitUnderAnyTheme_data();
    void captionsFitUnderAnyTheme();
    void linkReads_data();
    void linkReads();
    void longPathIsCutInTheMiddle();
};

void WindowThemeTest::captionsFitUnderAnyTheme_data() {
    QTest::addColumn<int>("pointSize");  // the desktop's font; 0: Qt's own
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("screenshot");
    QTest::newRow("dark palette") << 0 << true << "window-dark.png";
    QTest::newRow("large font") << 20 << false << "window-large-font.png";
    QTest::newRow("large font, dark palette") << 20 << true << "";
}

void WindowThemeTest::captionsFitUnderAnyTheme() {
    QFETCH(int, pointSize);
    QFETCH(bool, dark);
    QFETCH(QString, screenshot);
    const QFont standard = QApplication::font();
    const QPalette light = QApplication::palette();
    if (pointSize) {
        QFont large = standard;
        large.setPointSize(pointSize);
        QApplication::setFont(large);
        for (const char* kind : {"QLabel", "QPushButton", "QCheckBox", "QRadioButton", "QGroupBox", "QComboBox",
                                 "QLineEdit"})
            QApplication::setFont(large, kind);
    }
    if (dark) QApplication::setPalette(darkPalette());
    {
        WindowFixture f(3);
        QVERIFY(f.show());
        const QFont font = f.window->font();
        for (qm::Control* c : f.form->controls()) {
            QWidget* w = f.window->widgetOf(*c);
            if (!w) continue;
            const QString name = QString::fromStdU16String(c->name());
            QCOMPARE(w->font().pointSizeF(), font.pointSizeF());
            QCOMPARE(w->font().family(), font.family());
            const Caption caption = captionOf(w);
            const QFontMetrics metrics(w->font());
            QVERIFY2(metrics.horizontalAdvance(caption.text) <= caption.room.width(), qPrintable(name));
            QVERIFY2(metrics.tightBoundingRect(caption.text).height() <= w->height(), qPrintable(name));
        }
        const QByteArray folder = qgetenv("QM_SCREENSHOT_DIR");
        if (!folder.isEmpty() && !screenshot.isEmpty())
            QVERIFY(f.window->grab().save(QString::fromLocal8Bit(folder) + u'/' + screenshot, "PNG"));
    }
    QApplication::setFont(standard);
    QApplication::setPalette(light);
}

void WindowThemeTest::linkReads_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("ownColourReads");
    QTest::newRow("light, classic blue") << paletteOf(QColor("#efefef"), Qt::black, QColor(0, 0, 255)) << true;
    QTest::newRow("dark, classic blue") << darkPalette() << false;
    QTest::newRow("dark, GNOME's blue") << paletteOf(QColor("#353535"), Qt::white, QColor("#3584e4")) << false;
    QTest::newRow("dark, light blue") << paletteOf(QColor("#2a2a2a"), Qt::white, QColor("#8ab4f8")) << true;
    QTest::newRow("light, pale blue") << paletteOf(Qt::white, Qt::black, QColor("#8ab4f8")) << false;
}

// The palette's link colour where it reads; otherwise one that reads, drawn.
void WindowThemeTest::linkReads() {
    QFETCH(QPalette, palette);
    QFETCH(bool, ownColourReads);
    const QColor background = palette.color(QPalette::Window);
    const QColor link = qm::desktop::readableLinkColor(palette);
    QVERIFY(contrastRatio(link, background) >= kReadableContrast);
    QCOMPARE(link == palette.color(QPalette::Link), ownColourReads);

    QApplication::setPalette(palette);
    {
        WindowFixture f(3);
        QWidget* label = f.window->widgetOf(f.form->Label5);
        QVERIFY(strongestContrast(label->grab().toImage(), background) >= kReadableContrast);
    }
    QApplication::setPalette(QPalette());
}

void WindowThemeTest::longPathIsCutInTheMiddle() {
    WindowFixture f(3);
    auto* label = static_cast<BoundLabel*>(f.window->widgetOf(f.form->LDirOut));
    const QString path = QStringLiteral("/home/用户/文档/照片/二〇二六年/十二月/第一周/待分发的照片/最后一层");
    f.form->LDirOut.setCaption(path.toStdU16String());
    const QString shown = label->shownText();
    QCOMPARE(label->text(), path);  // what assistive tools read
    QVERIFY(shown.startsWith(QStringLiteral("/home/")));
    QVERIFY(shown.endsWith(QStringLiteral("/最后一层")));
    QVERIFY(shown.contains(u'…'));
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
    QCOMPARE(label->toolTip(), path + QStringLiteral("\n支持文件夹拖放"));

    f.form->LDirOut.setCaption(u"/srv");
    QCOMPARE(label->shownText(), QStringLiteral("/srv"));
    QCOMPARE(label->toolTip(), QStringLiteral("支持文件夹拖放"));
}

QTEST_MAIN(WindowThemeTest)
#include "window_theme_test.moc"
