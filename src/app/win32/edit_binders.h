// The binders of the two edit controls: the text box and the editable list.
#pragma once

#include <memory>

#include "app/win32/binder.h"

namespace qm {
class ComboBox;
class TextBox;
}  // namespace qm

namespace qm::win32ui {

std::unique_ptr<Binder> bindTextBox(BindContext& context, TextBox& box);
std::unique_ptr<Binder> bindComboBox(BindContext& context, ComboBox& combo);

}  // namespace qm::win32ui
