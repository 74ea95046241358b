// The window's busy state during a run or an undo: disabled, its title kept
// in its tag for the progress shown there, and both given back however the
// work ends (a return, a throw) when the guard goes.
#pragma once

#include "window/form1.h"

namespace qm {

class WindowBusy {
public:
    explicit WindowBusy(Form1& form) : form_(form) {}
    WindowBusy(const WindowBusy&) = delete;
    WindowBusy& operator=(const WindowBusy&) = delete;
    ~WindowBusy() { restore(); }

    void begin() {
        form_.setEnabled(false);
        form_.setTag(form_.caption());
        on_ = true;
    }
    // The title back, then the window enabled.
    void restore() {
        if (!on_) return;
        on_ = false;
        form_.setCaption(form_.tag());
        form_.setEnabled(true);
    }

private:
    Form1& form_;
    bool on_ = false;
};

}  // namespace qm
