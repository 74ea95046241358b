// Start-up: the three values later checks read, and the first folders.
#include "platform/platform.h"
#include "window/form1.h"
#include "window/os_version.h"

namespace qm {

void Form1::Form_Load() {
    System& system = this->system();
    ProgramFilesPath = system.environmentVariable(u"ProgramFiles");
    WinDirPath = system.environmentVariable(u"windir");
    IsWin7OrAbove = GetOSVersionName(system.versionRecord()) == u"Win7OrAbove";
    // Writing the source caption points the file list at the folder and
    // counts it (LDir_Change); pointing the list there first would only list
    // the folder twice. Without drives a program lives in a system folder
    // such as /usr/bin, not among the user's files: a dispatch from there
    // would copy, or with the move box ticked take away, system programs.
    // The user's home folder stands in for it.
    LDir.setCaption(system.pathStyle().driveLetters ? system.programFolder() : StartFolder());
    LDirOut.setCaption(StartFolder());
}

std::u16string Form1::StartFolder() {
    System& system = this->system();
    const PathStyle style = system.pathStyle();
    if (style.driveLetters) return system.programFolder().substr(0, 3);
    // Without drives the matching root would be "/", where an ordinary user
    // may not write, so a first run would fail on every file: the home folder
    // takes its place. Like the program folder, it ends in no separator
    // unless it is the root itself.
    std::u16string home = system.environmentVariable(u"HOME");
    while (home.size() > 1 && home.back() == style.separator) home.pop_back();
    return home.empty() ? std::u16string(1, style.separator) : home;
}

}  // namespace qm
