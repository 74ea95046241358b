#include "app/batch/batch_platform.h"

#include "text/utf.h"

namespace qm::batch {

MsgResult BatchPlatform::messageBox(const MessageBoxRequest& request) {
    // A terminal shows one line break where the box shows CR LF.
    std::u16string shown;
    for (char16_t c : request.prompt) {
        if (c != u'\r') shown.push_back(c);
    }
    (request.icon == MsgIcon::Critical ? err_ : out_) << text::toUtf8(shown) << '\n';
    lastMessage_ = request.prompt;
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    return answerOk_ ? MsgResult::Ok : MsgResult::Cancel;
}

}  // namespace qm::batch
