// The source folder: chosen in the dialog or dropped on its label. The
// label's caption is the folder, and every write of it re-points the file
// list and shows how many files match.
#include "engine/run_plan.h"
#include "folders/folder_messages.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

bool LooksLikeFolder(const std::u16string& path) {
    const std::size_t from = path.size() > 7 ? path.size() - 7 : 0;
    return path.find(u'.', from) == std::u16string::npos;
}

void Form1::CmdIn_Click() {
    const std::u16string chosen = ChooseFolder(kChooseFolderTitle, false, false);
    if (!chosen.empty()) LDir.setCaption(chosen);
}

void Form1::LDir_OLEDragDrop(const std::vector<std::u16string>& paths) {
    for (const std::u16string& path : paths) {
        if (LooksLikeFolder(path)) {
            LDir.setCaption(path);
            return;
        }
    }
    user().beep();
}

void Form1::LDir_Change() {
    // With subfolders the count is of every file below the folder, never of
    // the share folders a run into it would make.
    File1.setTree(options.subfolders, shareRootOf(RequestFromControls(), system().pathStyle()));
    // A folder that cannot be listed lists nothing: the count must never show
    // the files of the folder shown before.
    File1.repoint(LDir.caption());
    LFiles.setCaption(text::decimal(File1.count()));
}

}  // namespace qm
