// The options dialog (分发选项) as data, as the main window is: its controls'
// kinds, containers, captions, geometry in twips, tab order and starting
// state, from which the model and both front ends build it.
#pragma once

#include <span>

#include "window/layout.h"

namespace qm {

const WindowSpec& optionsSpec();
std::span<const ControlSpec> optionsLayout();
const ControlSpec& optionsLayoutOf(std::u16string_view name);

}  // namespace qm
