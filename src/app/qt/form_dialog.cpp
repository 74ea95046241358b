#include "app/qt/form_dialog.h"

#include <stdexcept>

#include "window/options_dialog.h"
#include "window/options_layout.h"

namespace qm::desktop {

FormDialog::FormDialog(Form& form, std::span<const ControlSpec> layout, const WindowSpec& spec, QWidget& owner,
                       double scale, std::function<bool()> closed, std::function<void()> cancel)
    : QDialog(&owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      closed_(std::move(closed)),
      cancel_(std::move(cancel)) {
    // A window's font does not pass to the windows it owns by itself.
    setFont(owner.font());
    view_ = std::make_unique<FormView>(form, layout, spec, *this, scale, [this] { closeIfClosed(); });
    // Esc is the dialog's wherever the focus is, before a field could take
    // it as a typed key, as in the classic toolkit's dialogs.
    view_->router().onEscape = [this] { reject(); };
}

FormDialog::~FormDialog() { view_.reset(); }

void FormDialog::reject() {
    cancel_();
    closeIfClosed();
}

void FormDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    view_->mirrorAll();
}

void FormDialog::closeIfClosed() {
    // The result code goes unread: the model says how it was closed.
    if (closed_()) done(QDialog::Rejected);
}

void runDialog(Form& dialog, QWidget& owner, double scale) {
    if (auto* options = dynamic_cast<OptionsDialog*>(&dialog)) {
        FormDialog shown(dialog, optionsLayout(), optionsSpec(), owner, scale,
                         [options] { return options->closed(); }, [options] { options->cancel(); });
        if (!options->closed()) shown.exec();
        return;
    }
    throw std::logic_error("a dialog the Qt window has no layout table for");
}

}  // namespace qm::desktop
