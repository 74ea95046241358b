// One form of the window model shown in a top-level widget: one widget per
// visible control of its layout table, each kept a mirror of its control,
// and the input router that turns what the user does into the model's
// actions. The main window and each of its dialogs are built this way.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/qt/binder.h"
#include "app/qt/input_router.h"

namespace qm {
class Control;
class Form;
struct ControlSpec;
struct WindowSpec;
}  // namespace qm

namespace qm::desktop {

// The classic dialog font the layouts were drawn for: larger text would not
// fit the captions into their controls.
QFont classicFont(QFont base);

class FormView {
public:
    // Builds the widgets of `form`'s controls as `layout` places them into
    // `window`, sized as `spec` says (`scale`: pixels per 96-dpi pixel).
    // `afterAction` runs each time the widgets have been brought in line
    // with the model after a user action.
    FormView(Form& form, std::span<const ControlSpec> layout, const WindowSpec& spec, QWidget& window, double scale,
             std::function<void()> afterAction = {});
    ~FormView();
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    // The widget that shows a control; nullptr for a control never shown.
    QWidget* widgetOf(const Control& control) const;
    // Copies the whole model into the widgets and the window.
    void mirrorAll();
    BindContext& context() { return context_; }
    InputRouter& router() { return router_; }

private:
    void build(std::span<const ControlSpec> layout, double scale);
    void mirrorWindow();
    void mirrorFocus();

    Form& form_;
    QWidget& window_;
    const WindowSpec& spec_;
    std::function<void()> afterAction_;
    BindContext context_;
    InputRouter router_;
    std::vector<std::unique_ptr<Binder>> binders_;
};

}  // namespace qm::desktop
