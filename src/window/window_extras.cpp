// The home-page link.
#include "platform/platform.h"
#include "window/form1.h"

namespace qm {

namespace {

// The site is a build setting (QM_HOME_PAGE, scheme and host); without one
// the link has no target and a click does nothing.
constexpr char16_t kHomePageSite[] = u"" QM_HOME_PAGE;

}  // namespace

void Form1::Label5_Click() {
    const std::u16string site = kHomePageSite;
    if (site.empty()) return;
    platform().openInDesktop(site + u"/Index.htm", ShowAs::Maximized);
}

void Form1::Label5_MouseMove() { platform().showPointingCursor(); }

}  // namespace qm
