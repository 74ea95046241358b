// Lets the window repaint during a long run without letting the user act on
// it: a run may deal 100,000 files, and a window that stops painting looks
// hung, while input taken mid-run could start a second run inside the first.
#pragma once

#include <QElapsedTimer>

namespace qm::desktop {

class EventPump {
public:
    // Processes pending events other than user input, at most every 50 ms so
    // that a run of small files does not spend its time painting. The first
    // call always does.
    void pump();

private:
    QElapsedTimer sinceLast_;
};

}  // namespace qm::desktop
