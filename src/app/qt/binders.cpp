// The binders of labels, buttons, option buttons, the check box and the
// frame, and the one factory that turns a row of the layout table into a widget.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/qt/accessible_names.h"
#include "app/qt/binder.h"
#include "app/qt/bound_label.h"
#include "app/qt/classic_frame.h"
#include "app/qt/edit_binders.h"
#include "app/qt/pixel_geometry.h"
#include "app/qt/qt_text.h"
#include "window/form.h"

namespace qm::desktop {

void Binder::mirrorShown(bool enabled, bool visible) {
    // The widget's own state: isEnabled() is also false while the whole
    // window is disabled during a run.
    const bool ownEnabled = !widget_->testAttribute(Qt::WA_ForceDisabled);
    if (ownEnabled != enabled) widget_->setEnabled(enabled);
    if (widget_->isHidden() == visible) widget_->setHidden(!visible);
}

namespace {

class LabelBinder final : public Binder {
public:
    LabelBinder(BindContext& context, Label& label, QWidget* parent)
        : Binder(context, label, new BoundLabel(parent)), label_(label) {
        auto* w = static_cast<BoundLabel*>(widget());
        w->captionIsValue = !label.spec().labelledBy.empty();
        w->isLink = label.spec().link;
        if (label.spec().elidesPath) w->elidePath(label.spec());
        Form& form = context.form;
        w->onClick = [this, &form] { context_.act([&] { form.click(label_); }); };
        w->onMouseMove = [this, &form] { context_.act([&] { form.mouseMove(label_); }); };
        if (label.spec().acceptsDrops) {
            w->setAcceptDrops(true);
            w->onDrop = [this, &form](const std::vector<std::u16string>& paths) {
                context_.act([&] { form.drop(label_, paths); });
            };
        }
    }

private:
    void mirrorState() override {
        auto* w = static_cast<BoundLabel*>(widget());
        const QString text = toQString(label_.caption());
        if (w->text() == text) return;
        w->setCaption(text);
        // Grows and shrinks with the caption; the left edge stays put.
        if (label_.spec().autoSize) w->resize(w->sizeHint());
        if (w->captionIsValue) announceValueChange(*w);
    }

    Label& label_;
};

class PushButtonBinder final : public Binder {
public:
    PushButtonBinder(BindContext& context, PushButton& button, QWidget* parent)
        : Binder(context, button, new QPushButton(parent)), button_(button) {
        auto* w = static_cast<QPushButton*>(widget());
        // A press through the keyboard's access key arrives here too: the
        // caption's "&" makes Qt register the shortcut, and the input router
        // turns it into the model's own access key before Qt clicks.
        w->setAutoDefault(false);
        QObject::connect(w, &QPushButton::clicked, w, [this] {
            context_.act([this] { context_.form.click(button_); });
        });
    }

private:
    void mirrorState() override {
        auto* w = static_cast<QPushButton*>(widget());
        const QString caption = toQString(button_.caption());
        if (w->text() != caption) w->setText(caption);
    }

    PushButton& button_;
};

class OptionButtonBinder final : public Binder {
public:
    OptionButtonBinder(BindContext& context, OptionButton& option, QWidget* parent)
        : Binder(context, option, new QRadioButton(toQString(option.spec().caption), parent)), option_(option) {
        auto* w = static_cast<QRadioButton*>(widget());
        // The model clears the other buttons of the group; Qt must not. (Qt
        // would then tell assistive tools it is a check box; accessible_names.cpp
        // tells it as an option button.)
        w->setAutoExclusive(false);
        QObject::connect(w, &QRadioButton::clicked, w, [this] {
            context_.act([this] { context_.form.click(option_); });
        });
    }

private:
    void mirrorState() override {
        auto* w = static_cast<QRadioButton*>(widget());
        if (w->isChecked() != option_.value()) w->setChecked(option_.value());
    }

    OptionButton& option_;
};

class CheckBoxBinder final : public Binder {
public:
    CheckBoxBinder(BindContext& context, CheckBox& box, QWidget* parent)
        : Binder(context, box, new QCheckBox(toQString(box.spec().caption), parent)), box_(box) {
        auto* w = static_cast<QCheckBox*>(widget());
        QObject::connect(w, &QCheckBox::clicked, w, [this] {
            context_.act([this] { context_.form.click(box_); });
        });
    }

private:
    void mirrorState() override {
        auto* w = static_cast<QCheckBox*>(widget());
        const bool checked = box_.value() != 0;
        if (w->isChecked() != checked) w->setChecked(checked);
    }

    CheckBox& box_;
};

class FrameBinder final : public Binder {
public:
    FrameBinder(BindContext& context, Frame& frame, QWidget* parent)
        : Binder(context, frame, new ClassicFrame(toQString(frame.caption()), parent)) {}

private:
    void mirrorState() override {}
};

std::unique_ptr<Binder> makeBinder(BindContext& context, Control& control, QWidget* parent) {
    switch (control.kind()) {
        case ControlKind::Label:
            return std::make_unique<LabelBinder>(context, static_cast<Label&>(control), parent);
        case ControlKind::PushButton:
            return std::make_unique<PushButtonBinder>(context, static_cast<PushButton&>(control), parent);
        case ControlKind::TextBox:
            return bindTextBox(context, static_cast<TextBox&>(control), parent);
        case ControlKind::ComboBox:
            return bindComboBox(context, static_cast<ComboBox&>(control), parent);
        case ControlKind::OptionButton:
            return std::make_unique<OptionButtonBinder>(context, static_cast<OptionButton&>(control), parent);
        case ControlKind::CheckBox:
            return std::make_unique<CheckBoxBinder>(context, static_cast<CheckBox&>(control), parent);
        case ControlKind::Frame:
            return std::make_unique<FrameBinder>(context, static_cast<Frame&>(control), parent);
        case ControlKind::FileList:
            return nullptr;  // the file list is the model's, never shown
    }
    return nullptr;
}

// What the table says about any widget, whatever its kind.
void applyLayoutRow(Binder& binder, const Form& form, double scale) {
    const ControlSpec& row = binder.control().spec();
    QWidget* w = binder.widget();
    w->setGeometry(toPixels(row.geometry, scale));
    if (!row.tooltip.empty()) {
        w->setToolTip(toQString(row.tooltip));
        // Said as the description even while the tooltip shows a whole path.
        w->setAccessibleDescription(toQString(row.tooltip));
    }
    // A link takes the desktop's link colour when it is drawn (bound_label.h).
    if (row.textColor != ControlSpec::kDefaultColor && !row.link) {
        QPalette palette = w->palette();
        const QColor color = QColor::fromRgb(row.textColor);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(role, color);
        w->setPalette(palette);
    }
    // The focus sits in the list's line edit, so that is what a screen
    // reader announces: it is named like the list.
    const QString name = accessibleNameOf(row, form);
    w->setAccessibleName(name);
    for (QWidget* input : binder.inputWidgets()) {
        input->setAccessibleName(name);
        // Qt hands out the focus on a click before any event filter sees the
        // press, which would move it without the model's Validate. So a click
        // gives no focus here: the input router asks the model first, and the
        // model's answer moves Qt's focus.
        input->setFocusPolicy(binder.control().canTakeFocus() ? Qt::TabFocus : Qt::NoFocus);
        if (row.inputMethodOff) input->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
}

}  // namespace

std::unique_ptr<Binder> bindControl(BindContext& context, Control& control, QWidget* parent, double scale) {
    std::unique_ptr<Binder> binder = makeBinder(context, control, parent);
    if (!binder) return nullptr;
    applyLayoutRow(*binder, context.form, scale);
    binder->mirror();
    return binder;
}

}  // namespace qm::desktop
