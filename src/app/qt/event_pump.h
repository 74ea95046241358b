// Lets the window repaint during a long run without letting the user act on
// it: a run may deal 100,000 files, and a window that stops painting looks
// hung, while input taken mid-run could start a second run inside the first.
// The two things a user may still ask of a busy window are passed on: Esc
// and closing it, which ask to stop the run.
#pragma once

#include <QElapsedTimer>

namespace qm::desktop {

class EventPump {
public:
    // Processes pending events, at most every 50 ms so that a run of small
    // files does not spend its time painting; the first call always does.
    // The user's input meanwhile is dropped, but for Esc and a window's
    // close, which are handed to their window once the rest is done (so
    // that the question they ask gets input of its own).
    void pump();

private:
    QElapsedTimer sinceLast_;
};

}  // namespace qm::desktop
