// The source folder: its label's caption is the folder, and every write of
// it re-points the file list and shows how many files match.
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

void Form1::LDir_Change() {
    // A folder that cannot be listed lists nothing: the count must never show
    // the files of the folder shown before.
    File1.repoint(LDir.caption());
    LFiles.setCaption(text::decimal(File1.count()));
}

}  // namespace qm
