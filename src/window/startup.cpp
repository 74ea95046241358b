// Start-up: the three values later checks read, and the first folders.
#include "platform/platform.h"
#include "window/form1.h"
#include "window/os_version.h"

namespace qm {

void Form1::Form_Load() {
    Platform& system = platform();
    ProgramFilesPath = system.environmentVariable(u"ProgramFiles");
    WinDirPath = system.environmentVariable(u"windir");
    IsWin7OrAbove = GetOSVersionName(system.versionRecord()) == u"Win7OrAbove";
    // Writing the source caption points the file list at the folder and
    // counts it (LDir_Change); pointing the list there first would only list
    // the folder twice.
    LDir.setCaption(system.programFolder());
    LDirOut.setCaption(ProgramDriveRoot());
}

std::u16string Form1::ProgramDriveRoot() {
    const PathStyle style = platform().pathStyle();
    if (!style.driveLetters) return std::u16string(1, style.separator);
    return platform().programFolder().substr(0, 3);
}

}  // namespace qm
