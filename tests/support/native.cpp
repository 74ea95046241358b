#include "support/native.h"

#ifdef _WIN32
#include "platform/win32/win32_text.h"
#include "text/utf.h"
#endif

namespace qm::test {

#ifdef _WIN32
std::u16string startFolderFor(const std::u16string& folder, const std::u16string&) { return folder.substr(0, 3); }

std::string logText(const std::string& bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) return bytes.substr(3);
    return text::toUtf8(win32::fromAnsi(bytes));
}
#else
std::u16string startFolderFor(const std::u16string&, const std::u16string& home) { return home; }

std::string logText(const std::string& bytes) { return bytes; }
#endif

}  // namespace qm::test
