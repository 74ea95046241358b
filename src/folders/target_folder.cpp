// The target folder: chosen in the dialog or dropped on its label. On newer
// systems folders inside the system folder or the program-files folder are
// refused, since a run could not write there.
#include "folders/folder_messages.h"
#include "window/form1.h"

namespace qm {

namespace {

// An empty variable names no folder and so refuses nothing.
bool containsVariable(const std::u16string& path, const std::u16string& variable) {
    return !variable.empty() && path.find(variable) != std::u16string::npos;
}

}  // namespace

bool Form1::InSystemFolder(const std::u16string& path) const {
    return IsWin7OrAbove && (containsVariable(path, WinDirPath) || containsVariable(path, ProgramFilesPath));
}

void Form1::CmdOut_Click() {
    const std::u16string chosen =
        ChooseFolder(IsWin7OrAbove ? kChooseTargetWarningTitle : kChooseFolderTitle, true, true);
    if (!chosen.empty()) LDirOut.setCaption(chosen);
}

void Form1::LDirOut_OLEDragDrop(const std::vector<std::u16string>& paths) {
    for (const std::u16string& path : paths) {
        if (!LooksLikeFolder(path)) continue;
        if (InSystemFolder(path)) {
            WarnUnusableFolder(user());
        } else {
            LDirOut.setCaption(path);
        }
        return;
    }
    user().beep();
}

}  // namespace qm
