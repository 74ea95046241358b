// The user side of the Qt window: message boxes, the folder dialog, the
// beep, the pointer and repainting during a run are Qt's; documents and
// folders go to the desktop's own programs through xdg-open.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <QWidget>

#include "app/qt/event_pump.h"
#include "platform/posix/posix_desktop.h"
#include "platform/user.h"

namespace qm::desktop {

// The message box the window shows for a request, ready to be shown (the
// screenshots take it as it is).
std::unique_ptr<QMessageBox> makeMessageBox(const MessageBoxRequest& request, QWidget* parent);

class QtUser : public User {
public:
    // The window that message boxes and the folder dialog belong to. The
    // user side exists before the window (the model needs it first), so the
    // window is handed over once built.
    void setWindow(QWidget* window) { window_ = window; }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override;
    std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                   bool newStyle) override;
    void openInDesktop(const std::u16string& target, ShowAs) override { opener_.open(target); }
    void showPointingCursor() override;
    void keepResponsive() override { pump_.pump(); }

private:
    QPointer<QWidget> window_;
    EventPump pump_;
    posix::DesktopOpener opener_;
};

}  // namespace qm::desktop
