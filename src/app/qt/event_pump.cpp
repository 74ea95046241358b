#include "app/qt/event_pump.h"

#include <QCoreApplication>

namespace qm::desktop {

namespace {

constexpr qint64 kIntervalMs = 50;

}  // namespace

void EventPump::pump() {
    if (sinceLast_.isValid() && sinceLast_.elapsed() < kIntervalMs) return;
    // Input that arrives meanwhile waits in the queue; it reaches the window
    // once the run is over, when the closing message box blocks the window.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sinceLast_.start();
}

}  // namespace qm::desktop
