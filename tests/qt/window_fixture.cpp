#include "qt/window_fixture.h"

#include <filesystem>

namespace qm::test {

WindowFixture::WindowFixture(int programFiles, std::unique_ptr<FakePlatform> custom)
    : ownPlatform(custom ? std::move(custom) : std::make_unique<FakePlatform>()), platform(*ownPlatform) {
    std::filesystem::create_directories(dir.path() / "src");
    makeFiles(dir, "src", programFiles);
    // Start-up shows the home folder as the source on Linux.
    platform.programFolderPath = dir.u16("src");
    platform.environment.emplace_back(u"HOME", dir.u16("src"));
    platform.logPaths = {dir.u16("分发失败记录.txt")};
    form = std::make_unique<Form1>(platform);
    window = std::make_unique<desktop::MainWindow>(*form, 1.0);
    form->load();
    // The target is a folder of its own, so that a run never writes among
    // its sources.
    std::filesystem::create_directories(dir.path() / "out");
    form->LDirOut.setCaption(dir.u16("out"));
}

bool WindowFixture::show() {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

bool WindowFixture::hasFocus(const Control& control) const {
    QWidget* w = window->widgetOf(control);
    QWidget* focus = QApplication::focusWidget();
    return w && focus && (focus == w || w->isAncestorOf(focus));
}

}  // namespace qm::test
