// NewDir: the folder dialog, and the normalisation of what it returns.
#pragma once

#include <string>

#include "platform/platform.h"

namespace qm {

// Shows the folder dialog with `title`, `initialFolder` preselected, in the
// classic style (file-system folders only) or the new style (with a button
// for making a new folder). Returns the chosen folder ending in exactly one
// separator, or the empty text when the dialog was cancelled, the choice has
// no file-system path, or no folder of that path exists any more.
std::u16string BrowseFolder(Platform platform, const std::u16string& title, const std::u16string& initialFolder,
                            bool newStyle);

// Appends one separator and folds every doubled separator into one, in one
// left-to-right pass (as the dialog's results and initial folders are written).
std::u16string WithOneTrailingSeparator(const std::u16string& path, char16_t separator);

}  // namespace qm
