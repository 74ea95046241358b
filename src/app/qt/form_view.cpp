#include "app/qt/form_view.h"

#include <QLabel>
#include <stdexcept>

#include "app/qt/pixel_geometry.h"
#include "app/qt/qt_text.h"
#include "window/form.h"
#include "window/layout.h"

namespace qm::desktop {

QFont classicFont(QFont base) {
    base.setPointSize(9);
    return base;
}

FormView::FormView(Form& form, std::span<const ControlSpec> layout, const WindowSpec& spec, QWidget& window,
                   double scale, std::function<void()> afterAction)
    : form_(form),
      window_(window),
      spec_(spec),
      afterAction_(std::move(afterAction)),
      context_{form,
               [this] {
                   mirrorAll();
                   if (afterAction_) afterAction_();
               }},
      router_(context_, window) {
    const QSize client = toPixels(spec.clientWidth, spec.clientHeight, scale);
    if (spec.resizable) {
        window.resize(client);
    } else {
        window.setFixedSize(client);
    }
    build(layout, scale);
    form_.observe([this] { mirrorWindow(); });
    mirrorAll();
}

FormView::~FormView() {
    form_.observe(nullptr);
    for (const auto& binder : binders_) binder->control().observe(nullptr);
    // The widgets go before their binders, whose members their signals reach.
    for (QWidget* child : window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) delete child;
}

void FormView::build(std::span<const ControlSpec> layout, double scale) {
    router_.watch(&window_, nullptr);
    QWidget* previous = nullptr;
    for (const ControlSpec& row : layout) {
        Control* control = form_.control(row.name);
        if (!control) throw std::logic_error("the layout table names a control the window model does not have");
        QWidget* parent = &window_;
        if (row.container != spec_.name) {
            // Containers come before what they hold in the table.
            parent = nullptr;
            for (const auto& b : binders_) {
                if (b->control().name() == row.container) parent = b->widget();
            }
            if (!parent) throw std::logic_error("a control of the layout table comes before its container");
        }
        std::unique_ptr<Binder> binder = bindControl(context_, *control, parent, scale);
        if (!binder) continue;
        for (QWidget* input : binder->inputWidgets()) router_.watch(input, control);
        control->observe([b = binder.get()] { b->mirror(); });
        // Qt's own tab chain is never walked (the router sends Tab to the
        // model) but stays in the table's order for accessibility tools.
        if (control->canTakeFocus()) {
            if (previous) QWidget::setTabOrder(previous, binder->widget());
            previous = binder->widget();
        }
        binders_.push_back(std::move(binder));
    }
    // A caption label beside a field is its buddy, which is how assistive
    // tools on Linux learn what names the field.
    for (const auto& binder : binders_) {
        const std::u16string& naming = binder->control().spec().labelledBy;
        Control* label = naming.empty() ? nullptr : form_.control(naming);
        if (label && label->kind() == ControlKind::Label)
            static_cast<QLabel*>(widgetOf(*label))->setBuddy(binder->widget());
    }
}

QWidget* FormView::widgetOf(const Control& control) const {
    for (const auto& binder : binders_) {
        if (&binder->control() == &control) return binder->widget();
    }
    return nullptr;
}

void FormView::mirrorAll() {
    input::MirrorScope scope(context_);
    for (const auto& binder : binders_) binder->mirror();
    mirrorWindow();
}

void FormView::mirrorWindow() {
    input::MirrorScope scope(context_);
    const QString title = toQString(form_.caption());
    if (window_.windowTitle() != title) window_.setWindowTitle(title);
    if (window_.isEnabled() != form_.enabled()) window_.setEnabled(form_.enabled());
    mirrorFocus();
}

void FormView::mirrorFocus() {
    if (!window_.isEnabled()) return;  // a disabled window holds no focus
    const Control* focused = form_.focused();
    QWidget* target = focused ? widgetOf(*focused) : nullptr;
    // A control the model keeps focused while it is disabled cannot hold Qt's
    // focus; the window holds it, so that keys reach no other control.
    if (!target || !target->isEnabled()) target = &window_;
    if (!target->hasFocus()) target->setFocus(Qt::OtherFocusReason);
}

}  // namespace qm::desktop
