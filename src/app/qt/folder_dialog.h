// The folder dialog of the Qt window.
#pragma once

#include <string>

class QWidget;

namespace qm::desktop {

// Shows a folder dialog over `parent`, opened at `initialFolder`. The classic
// style offers only the existing folders; the new style can also make one.
// Returns the chosen folder, or the empty text when cancelled.
std::u16string chooseFolder(QWidget* parent, const std::u16string& title, const std::u16string& initialFolder,
                            bool newStyle);

}  // namespace qm::desktop
