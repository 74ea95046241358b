// The platform behind the Qt window: files, the environment, the clock and
// the desktop opener are the POSIX platform's; message boxes, the folder
// dialog, the beep, the pointer and repainting during a run are Qt's.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/qt/event_pump.h"
#include "platform/posix/posix_platform.h"

namespace qm::desktop {

class QtPlatform : public PosixPlatform {
public:
    // The window that message boxes and the folder dialog belong to. The
    // platform exists before the window (the model needs it first), so the
    // window is handed over once built.
    void setWindow(QWidget* window) { window_ = window; }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override;
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override;
    void showPointingCursor() override;
    void keepResponsive() override { pump_.pump(); }

private:
    QPointer<QWidget> window_;
    EventPump pump_;
};

}  // namespace qm::desktop
