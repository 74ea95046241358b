// The tie between the window model and a front end's widgets, whatever the
// toolkit. The widgets copy the model; what the user does goes to the model
// and the widgets are then brought in line with it again. While the model is
// being copied into the widgets, the signals that the copy makes them raise
// are echoes of the model and must not be sent back to it.
#pragma once

#include <functional>

namespace qm {
class Form;
}

namespace qm::input {

struct Mirror {
    // The main window or one of its dialogs.
    Form& form;
    // Brings every widget in line with the model. Called after each user
    // action, since a widget may have changed itself in a way the model
    // refused (a radio button that unchecked itself, a list entry chosen
    // while the focus could not move there).
    std::function<void()> mirrorAll;
    // Above zero while the model is being copied into the widgets.
    int mirroring = 0;
    // Set once the window is being taken down: its widgets go one by one,
    // and the focus moves that this causes are nobody's input.
    bool closing = false;

    // Whether what the widgets report now is the user's.
    bool listening() const { return mirroring == 0 && !closing; }
    // Hands a user action to the model, then brings the window in line;
    // nothing while the widgets only echo the model.
    void act(const std::function<void()>& action);
};

// Marks the copy of the model into the widgets, for as long as it lives.
class MirrorScope {
public:
    explicit MirrorScope(Mirror& mirror) : mirror_(mirror) { ++mirror_.mirroring; }
    ~MirrorScope() { --mirror_.mirroring; }
    MirrorScope(const MirrorScope&) = delete;
    MirrorScope& operator=(const MirrorScope&) = delete;

private:
    Mirror& mirror_;
};

}  // namespace qm::input
