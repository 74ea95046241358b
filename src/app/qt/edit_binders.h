// The binders of the two edit controls: the text box and the editable list.
#pragma once

#include <memory>

#include "app/qt/binder.h"

class QWidget;

namespace qm {
class ComboBox;
class TextBox;
}  // namespace qm

namespace qm::desktop {

std::unique_ptr<Binder> bindTextBox(BindContext& context, TextBox& box, QWidget* parent);
std::unique_ptr<Binder> bindComboBox(BindContext& context, ComboBox& combo, QWidget* parent);

}  // namespace qm::desktop
