// One binder per control: it makes the control's native window and copies
// the control's state into it. The native controls hold no state that the
// model does not also hold; whatever a control does by itself is either sent
// to the model (and copied back) or undone by the next copy.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "app/win32/dpi.h"
#include "input/mirror.h"

namespace qm {
class Control;
struct ControlSpec;
}  // namespace qm

namespace qm::win32ui {

// What the binders, the input router and the window share: the tie to the
// model, and the window's own handle, font and density.
struct BindContext : input::Mirror {
    HWND window = nullptr;  // the main window, parent of every control
    HFONT font = nullptr;
    UINT dpi = kBaseDpi;
    HWND tooltips = nullptr;  // the window's tooltip control, once it is made
};

class Binder {
public:
    virtual ~Binder() = default;
    Binder(const Binder&) = delete;
    Binder& operator=(const Binder&) = delete;

    Control& control() const { return control_; }
    HWND hwnd() const { return hwnd_; }
    // The windows that receive the control's mouse and keyboard input (the
    // editable list has its edit field as well).
    virtual std::vector<HWND> inputWindows() const { return {hwnd_}; }
    // Where the keyboard focus goes when the model focuses the control.
    virtual HWND focusWindow() const { return hwnd_; }

    // Copies the control's state into its window.
    void mirror();
    // A notification the control sent to the window (WM_COMMAND's code).
    virtual void notified(WORD) {}
    // For the edit controls: tells the model where the caret and the
    // selection are now, after the edit field moved them by itself.
    virtual void sendSelection() {}
    // Places and sizes the window as the table says, for the context's
    // density, in the context's font.
    virtual void place();

protected:
    Binder(BindContext& context, Control& control, HWND hwnd)
        : context_(context), control_(control), hwnd_(hwnd) {}
    // The part of the state that depends on the kind of control.
    virtual void mirrorState() = 0;

    BindContext& context_;

private:
    Control& control_;
    HWND hwnd_;
};

// The control's rectangle in the window's client area, in pixels at `dpi`:
// controls in the frame are placed by the frame's corner, but are the
// window's children (a group box makes a poor parent: it would receive their
// notifications and paint over them).
RECT pixelRectOf(const ControlSpec& row, UINT dpi);

// Makes the native window of one control of the layout table as a child of
// the context's window, placed, sized and styled as the table says, and
// copies the control's state into it. nullptr for a control never shown.
std::unique_ptr<Binder> bindControl(BindContext& context, Control& control);

// A native window of the given class for a row of the table.
HWND createControlWindow(BindContext& context, const ControlSpec& row, const wchar_t* className, DWORD style,
                         DWORD exStyle = 0);

}  // namespace qm::win32ui
