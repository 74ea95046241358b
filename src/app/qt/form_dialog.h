// A dialog of the window (a form of the window model other than the main
// window) shown modally over the window, built from its layout table as
// the window is, until the model says it is closed.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "app/qt/form_view.h"

namespace qm {
class Form;
}

namespace qm::desktop {

class FormDialog : public QDialog {
public:
    // `closed`: whether the model says the dialog is closed; `cancel`: its
    // close box and Esc.
    FormDialog(Form& form, std::span<const ControlSpec> layout, const WindowSpec& spec, QWidget& owner,
               double scale, std::function<bool()> closed, std::function<void()> cancel);
    ~FormDialog() override;

    QWidget* widgetOf(const Control& control) const { return view_->widgetOf(control); }

    // Esc and the close box.
    void reject() override;

protected:
    // The dialog takes the keyboard as it opens, with the focus where the
    // model has it.
    void showEvent(QShowEvent* event) override;

private:
    void closeIfClosed();

    std::function<bool()> closed_;
    std::function<void()> cancel_;
    std::unique_ptr<FormView> view_;
};

// Shows a dialog of the window modally over `owner` until the model closes
// it; what it says is then the model's to tell.
void runDialog(Form& dialog, QWidget& owner, double scale);

}  // namespace qm::desktop
