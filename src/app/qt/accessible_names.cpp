#include "app/qt/accessible_names.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>

#include "app/qt/bound_label.h"
#include "app/qt/qt_text.h"
#include "window/form.h"

namespace qm::desktop {

namespace {

// Qt's own interface for a label reads its text as the name. A path read
// out with no word of what it is means nothing to the listener, and Qt's
// Linux bridge passes on no value for a label: so the name is both, the
// caption beside it and then the value ("导入目录：/home/u"), and a change of
// the value is told as a change of the name.
class ValueLabelAccessible final : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const QString value = static_cast<const QLabel*>(widget())->text();
        if (t == QAccessible::Value) return value;
        if (t == QAccessible::Name) return QAccessibleWidget::text(t) + u'：' + value;
        return QAccessibleWidget::text(t);
    }
};

// The home-page link: a link, which a screen reader announces as one and
// can follow with its action, as a click does.
class LinkAccessible final : public QAccessibleWidget {
public:
    explicit LinkAccessible(BoundLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        auto* label = static_cast<BoundLabel*>(widget());
        if (action == pressAction()) {
            if (label->isEnabled() && label->onClick) label->onClick();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

// Qt tells a radio button that does not clear its neighbours itself (the
// model clears them here) as a check box, which is not what it is.
class OptionButtonAccessible final : public QAccessibleWidget {
public:
    explicit OptionButtonAccessible(QRadioButton* button) : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button().isChecked();
        return s;
    }
    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString& action) override {
        // A click like the mouse's, which reaches the model.
        if (action == pressAction()) {
            if (button().isEnabled()) button().click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QRadioButton& button() const { return *static_cast<QRadioButton*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* label = dynamic_cast<BoundLabel*>(object)) {
        if (label->captionIsValue) return new ValueLabelAccessible(label);
        if (label->isLink) return new LinkAccessible(label);
    }
    // Asked for as soon as the button exists, before the binder makes it
    // non-exclusive: every radio button of the program is told as one.
    if (auto* option = qobject_cast<QRadioButton*>(object)) return new OptionButtonAccessible(option);
    return nullptr;
}

}  // namespace

QString spokenCaption(QString caption) {
    static const QRegularExpression accessMark(QStringLiteral("\\(&.\\)"));
    caption.remove(accessMark);
    caption.remove(u'&');
    if (caption.endsWith(QLatin1String("..."))) caption.chop(3);
    if (caption.endsWith(u'：') || caption.endsWith(u':')) caption.chop(1);
    return caption.trimmed();
}

QString accessibleNameOf(const ControlSpec& row, const Form& form) {
    // The label is looked up in the control's own form: a dialog's fields
    // are named by the dialog's labels, not the window's.
    const Control* label = row.labelledBy.empty() ? nullptr : form.control(row.labelledBy);
    const ControlSpec& naming = label ? label->spec() : row;
    return spokenCaption(toQString(naming.caption));
}

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

void announceValueChange(QWidget& label) {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(&label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

}  // namespace qm::desktop
