// The home-page link.
#include <array>

#include "platform/platform.h"
#include "window/form1.h"

namespace qm {

namespace {

// The site is a build setting (QM_HOME_PAGE, scheme and host).
constexpr char16_t kHomePageSite[] = u"" QM_HOME_PAGE;

// Without a site the link opens the program's read-me: where a package
// installs it (a path from the program's folder, "/" between its parts;
// none on Windows), or else beside the program, as in the Windows zip and
// in a build folder.
constexpr std::array<const char16_t*, 2> kReadMes{u"" QM_INSTALLED_README, u"README.txt"};

}  // namespace

std::u16string Form1::ReadMePath() {
    System& system = this->system();
    const char16_t separator = system.pathStyle().separator;
    std::u16string folder = system.programFolder();
    if (!folder.empty() && folder.back() != separator) folder += separator;
    for (std::u16string relative : kReadMes) {
        if (relative.empty()) continue;
        for (char16_t& c : relative) {
            if (c == u'/') c = separator;
        }
        const std::u16string path = system.absolutePath(folder + relative);
        if (system.pathExists(path)) return path;
    }
    return {};
}

void Form1::Label5_Click() {
    User& user = this->user();
    const std::u16string site = kHomePageSite;
    if (!site.empty()) {
        user.openInDesktop(site + u"/Index.htm", ShowAs::Maximized);
        return;
    }
    // A link that does nothing looks broken; one with nothing to open at
    // least answers with the beep.
    const std::u16string readMe = ReadMePath();
    if (readMe.empty()) {
        user.beep();
    } else {
        user.openInDesktop(readMe, ShowAs::Normal);
    }
}

void Form1::Label5_MouseMove() { user().showPointingCursor(); }

}  // namespace qm
