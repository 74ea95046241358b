// Testing a chosen folder, and the dialog loop both folder buttons share.
#include "folders/folder_messages.h"
#include "folders/newdir.h"
#include "window/form1.h"

namespace qm {

bool Form1::ProbeFolder(const std::u16string& folder) {
    // Only the chosen folder decides. Pointing back may fail when the folder
    // shown before has gone meanwhile; that must not make every new choice
    // unusable, so the list is re-pointed at it whatever it holds now.
    std::u16string remembered = File1.path();
    const bool usable = File1.setPath(folder);
    File1.repoint(std::move(remembered));
    return usable;
}

bool Form1::IsUsableChoice(const std::u16string& folder) {
    return folder.find(kRefusalMarker) == std::u16string::npos && ProbeFolder(folder);
}

std::u16string Form1::ChooseFolder(const std::u16string& title, bool newStyle, bool refuseSystemFolders) {
    for (;;) {
        std::u16string chosen = BrowseFolder(platform(), title, StartFolder(), newStyle);
        if (refuseSystemFolders && InSystemFolder(chosen)) chosen = std::u16string(1, kRefusalMarker);
        if (chosen.empty() || IsUsableChoice(chosen)) return chosen;
        WarnUnusableFolder(platform());
    }
}

}  // namespace qm
