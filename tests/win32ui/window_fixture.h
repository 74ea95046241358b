// The real Windows window over the window model, over a temporary folder,
// driven in-process with the messages that the system would send. The
// platform stands in for the user where the system would wait for one: it
// answers message boxes and the folder dialog, and records the programs it
// would start and the beeps.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "app/win32/window_user.h"
#include "platform/platform.h"
#include "platform/win32/win32_system.h"
#include "support/temp_dir.h"
#include "window/form1.h"

namespace qm::test {

// A window's text (a control's caption or text, the main window's title).
std::wstring windowText(HWND window);

// The window's user side with the person scripted, and the system's side
// with the program's folder and the log's place set by the test: both in one
// object, as the window model takes them.
class ScriptedPlatform : public Win32System, public win32ui::WindowUser {
public:
    operator Platform() { return {*this, *this}; }

    struct Box {
        HWND owner;
        std::wstring text, title;
        UINT type;
    };
    std::vector<Box> boxes;
    std::deque<int> answers;  // IDOK, IDCANCEL; when none is left, the default button answers
    bool realBoxes = false;   // the system's own message boxes instead (recorded all the same)

    struct Dialog {
        HWND owner;
        std::wstring title;
        UINT flags;
        std::wstring selected;  // what the dialog was asked to select as it opened
    };
    std::vector<Dialog> dialogs;
    std::deque<std::wstring> choices;  // the folders the user picks; none left: cancelled
    bool shellDialog = false;          // the shell's own dialog instead

    struct Started {
        std::wstring commandLine;
        int showCommand;
    };
    std::vector<Started> started;

    // The window as each repaint during a run found it.
    struct Pump {
        bool enabled;
        std::wstring title;
    };
    std::vector<Pump> pumps;
    int beeps = 0;

    std::u16string programFolderPath;
    std::u16string stateFolderPath;  // empty: the window keeps no records
    std::vector<std::u16string> logPaths;

    void beep() override { ++beeps; }
    void keepResponsive() override;
    std::u16string programFolder() override { return programFolderPath; }
    std::u16string stateFolder() override { return stateFolderPath; }
    std::vector<std::u16string> failureLogPaths() override { return logPaths; }

protected:
    int showMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type) override;
    PIDLIST_ABSOLUTE showFolderDialog(BROWSEINFOW& info) override;
    void startProgram(const std::wstring& application, const std::wstring& commandLine, int showCommand) override;
};

class WindowTest : public ::testing::Test {
protected:
    // Start-up lists the program's folder, `dir/src`, holding `programFiles`
    // files; the target folder is `dir/out`. The window is laid out at `dpi`.
    explicit WindowTest(int programFiles = 12, UINT dpi = 96);
    ~WindowTest() override;

    HWND of(const Control& control) const { return window->windowOf(control); }
    // Where the control's keyboard focus goes (the list's edit field).
    HWND fieldOf(const Control& control) const { return window->focusWindowOf(control); }
    static std::wstring textOf(HWND window) { return windowText(window); }

    // What the system sends for the user's input.
    void typeChars(HWND target, const std::wstring& chars) const;
    void pressKey(HWND target, WPARAM key, bool shift = false, bool control = false) const;
    void click(HWND target) const;
    void dropFiles(HWND target, const std::vector<std::wstring>& paths) const;

    TempDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<Form1> form;
    std::unique_ptr<win32ui::MainWindow> window;
};

}  // namespace qm::test
