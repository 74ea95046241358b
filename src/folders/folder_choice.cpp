// Testing a chosen folder, and the dialog loop both folder buttons share.
#include "folders/folder_messages.h"
#include "folders/newdir.h"
#include "folders/usable_folder.h"
#include "window/form1.h"

namespace qm {

bool Form1::ProbeFolder(const std::u16string& folder) {
    // Whether the file list could be pointed at the folder: whether it can be
    // opened and read. Reading all of it here would only be thrown away (the
    // list stays where it is); choosing the folder reads it once.
    return system().canListFolder(folder);
}

bool isUsableFolder(System& system, const std::u16string& folder) {
    // Whether the file list could be pointed at the folder: whether it can be
    // opened and read.
    return folder.find(kRefusalMarker) == std::u16string::npos && system.canListFolder(folder);
}

bool Form1::IsUsableChoice(const std::u16string& folder) { return isUsableFolder(system(), folder); }

std::u16string Form1::ChooseFolder(const std::u16string& title, bool newStyle, bool refuseSystemFolders) {
    for (;;) {
        std::u16string chosen = BrowseFolder(platform_, title, StartFolder(), newStyle);
        if (refuseSystemFolders && InSystemFolder(chosen)) chosen = std::u16string(1, kRefusalMarker);
        if (chosen.empty() || IsUsableChoice(chosen)) return chosen;
        WarnUnusableFolder(user());
    }
}

}  // namespace qm
