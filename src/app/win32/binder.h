// The binders of the Windows window: each control's native window
// (input/binder.h), placed for the window's density.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/win32/dpi.h"
#include "input/binder.h"

namespace qm {
class Control;
struct ControlSpec;
}  // namespace qm

namespace qm::win32ui {

// What the binders, the input router and the window share: the tie to the
// model, and the window's own handle, font and density.
struct BindContext : input::Mirror {
    HWND window = nullptr;  // the window (main or dialog), parent of every control
    // The window's layout table, where the frames that hold controls are.
    std::span<const ControlSpec> layout{};
    HFONT font = nullptr;
    UINT dpi = kBaseDpi;
    HWND tooltips = nullptr;  // the window's tooltip control, once it is made
    // What Esc does wherever the focus is (a dialog's 取消); empty: Esc is
    // the focused control's key.
    std::function<void()> escape{};
};

class Binder : public input::Binder {
public:
    HWND hwnd() const { return hwnd_; }
    // The windows that receive the control's mouse and keyboard input (the
    // editable list has its edit field as well).
    virtual std::vector<HWND> inputWindows() const { return {hwnd_}; }
    // Where the keyboard focus goes when the model focuses the control.
    virtual HWND focusWindow() const { return hwnd_; }

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
        : input::Binder(context, control), context_(context), hwnd_(hwnd) {}

    BindContext& context_;

private:
    void mirrorShown(bool enabled, bool visible) final;

    HWND hwnd_;
};

// The control's rectangle in the window's client area, in pixels at `dpi`:
// controls in the frame are placed by the frame's corner, but are the
// window's children (a group box makes a poor parent: it would receive their
// notifications and paint over them).
RECT pixelRectOf(const ControlSpec& row, std::span<const ControlSpec> layout, UINT dpi);

// Makes the native window of one control of the layout table as a child of
// the context's window, placed, sized and styled as the table says, and
// copies the control's state into it. nullptr for a control never shown.
std::unique_ptr<Binder> bindControl(BindContext& context, Control& control);

// A native window of the given class for a row of the table.
HWND createControlWindow(BindContext& context, const ControlSpec& row, const wchar_t* className, DWORD style,
                         DWORD exStyle = 0);

}  // namespace qm::win32ui
