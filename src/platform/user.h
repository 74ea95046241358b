// What faces the person at the screen: message boxes, the folder dialog,
// the beep, the desktop's own programs, the pointer, and repainting while a
// run holds the window. A front end provides it; the command line answers
// it in text; a program without a screen answers it as QuietUser does.
#pragma once

#include <string>

namespace qm {

enum class MsgButtons { Ok, OkCancel };

// How the program that opens a target shows its window: the failure log comes
// to the front for reading, the target folder opens behind the completion
// report without taking the focus, a web page fills the screen. Desktops that
// leave this to the opened program ignore it.
enum class ShowAs { Normal, NormalWithoutFocus, Maximized };
enum class MsgIcon { Information, Critical };
enum class MsgResult { Ok, Cancel };

struct MessageBoxRequest {
    std::u16string prompt;  // may hold "\r\n" line breaks
    std::u16string title;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::Information;
    int defaultButton = 0;  // 0 = first button, 1 = second
};

class User {
public:
    virtual ~User() = default;

    virtual MsgResult messageBox(const MessageBoxRequest& request) = 0;
    virtual void beep() = 0;
    // The folder dialog: the chosen folder as the dialog gives it, or empty
    // when cancelled or when the choice has no file-system path.
    virtual std::u16string browseForFolder(const std::u16string& title, const std::u16string& initialFolder,
                                           bool newStyle) = 0;
    // Opens a folder, a document or an address in the desktop's own program,
    // without waiting; a failure is silently ignored.
    virtual void openInDesktop(const std::u16string& target, ShowAs show) = 0;
    virtual void showPointingCursor() = 0;
    // Called between files during a run so that a window can repaint; it must
    // not deliver user input.
    virtual void keepResponsive() {}
};

// The user side of a program without a screen: every question takes its
// default button, no dialog shows, nothing is opened, nothing beeps.
class QuietUser : public User {
public:
    MsgResult messageBox(const MessageBoxRequest& request) override {
        if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
        return request.defaultButton == 1 ? MsgResult::Cancel : MsgResult::Ok;
    }
    void beep() override {}
    std::u16string browseForFolder(const std::u16string&, const std::u16string&, bool) override { return {}; }
    void openInDesktop(const std::u16string&, ShowAs) override {}
    void showPointingCursor() override {}
};

}  // namespace qm
