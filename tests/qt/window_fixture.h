// The real Qt window over the window model, over a temporary folder. The
// test platform stands in for the user: it answers message boxes, records
// dialogs and counts beeps, so no dialog ever waits for a person.
#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>

#include "app/qt/main_window.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "window/form1.h"

namespace qm::test {

class WindowFixture {
public:
    // Start-up lists the home folder; it is `dir/src` here (the program's
    // folder too), holding `programFiles` files. The target folder is `dir/out`. The window is
    // built at 96 dpi (scale 1).
    explicit WindowFixture(int programFiles = 0, std::unique_ptr<FakePlatform> platform = nullptr);

    // Shows the window and waits until it has the keyboard.
    bool show();

    template <typename W>
    W* widget(const Control& control) const {
        return qobject_cast<W*>(window->widgetOf(control));
    }
    // Whether Qt's keyboard focus is in the widget of `control`.
    bool hasFocus(const Control& control) const;

    TempDir dir;
    std::unique_ptr<FakePlatform> ownPlatform;
    FakePlatform& platform;
    std::unique_ptr<Form1> form;
    std::unique_ptr<desktop::MainWindow> window;
};

}  // namespace qm::test
