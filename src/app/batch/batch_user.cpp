#include "app/batch/batch_user.h"

#include "text/utf.h"

namespace qm::batch {

MsgResult BatchUser::messageBox(const MessageBoxRequest& request) {
    // A terminal shows one line break where the box shows CR LF; any other
    // control character is written out, never sent to the terminal.
    std::ostream& stream = request.icon == MsgIcon::Critical ? err_ : out_;
    std::u16string_view rest = request.prompt;
    for (;;) {
        const std::size_t end = rest.find(u"\r\n");
        stream << text::printable(rest.substr(0, end)) << '\n';
        if (end == std::u16string_view::npos) break;
        rest.remove_prefix(end + 2);
    }
    if (request.buttons == MsgButtons::Ok) return MsgResult::Ok;
    return answerOk_ ? MsgResult::Ok : MsgResult::Cancel;
}

}  // namespace qm::batch
