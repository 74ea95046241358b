// The user side of the command line: questions are answered as the options
// say and printed with every message, nothing is opened on the desktop.
#pragma once

#include <ostream>

#include "platform/user.h"

namespace qm::batch {

class BatchUser : public User {
public:
    BatchUser(std::ostream& out, std::ostream& err, bool answerOk) : out_(out), err_(err), answerOk_(answerOk) {}

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override {}
    std::u16string browseForFolder(const std::u16string&, const std::u16string&, bool) override { return {}; }
    void openInDesktop(const std::u16string&, ShowAs) override {}
    void showPointingCursor() override {}

private:
    std::ostream& out_;
    std::ostream& err_;
    bool answerOk_;
};

}  // namespace qm::batch
