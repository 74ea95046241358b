// The platform as the batch front end sees it: files and the system come from
// the real platform; message boxes are answered and printed, nothing is
// opened on the desktop, and the draw takes the command line's seed.
#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "platform/forwarding_platform.h"

namespace qm::batch {

class BatchPlatform : public ForwardingPlatform {
public:
    BatchPlatform(Platform& inner, std::ostream& out, std::ostream& err, bool answerOk, std::uint64_t seed)
        : ForwardingPlatform(inner), out_(out), err_(err), answerOk_(answerOk), seed_(seed) {}

    // What the run reported last, and what it asked to open, in order.
    const std::u16string& lastMessage() const { return lastMessage_; }
    const std::vector<std::u16string>& opened() const { return opened_; }

    MsgResult messageBox(const MessageBoxRequest& request) override;
    void beep() override {}
    std::u16string browseForFolder(const std::u16string&, const std::u16string&, bool) override { return {}; }
    void openInDesktop(const std::u16string& target, ShowAs) override { opened_.push_back(target); }
    void showPointingCursor() override {}
    void keepResponsive() override {}
    // The run's draw takes the seed the command line chose or drew.
    std::uint64_t clockSeed() override { return seed_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool answerOk_;
    std::uint64_t seed_;
    std::u16string lastMessage_;
    std::vector<std::u16string> opened_;
};

}  // namespace qm::batch
