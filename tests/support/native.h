// What the tests expect differently on Linux and on Windows: the separator,
// drive roots, and the failure log's encoding. Everything else is the same.
#pragma once

#include <string>

namespace qm::test {

#ifdef _WIN32
inline constexpr bool kWindows = true;
inline constexpr char16_t kSep = u'\\';
inline constexpr char16_t kProgramFolder[] = u"C:\\Program Files\\Quillmarsh";
#else
inline constexpr bool kWindows = false;
inline constexpr char16_t kSep = u'/';
inline constexpr char16_t kProgramFolder[] = u"/opt/quillmarsh";
#endif

// The start-up target (and the dialogs' first folder, less its trailing
// separator) for a program in `folder`: its drive root on Windows, the home
// folder on Linux.
std::u16string startFolderFor(const std::u16string& folder, const std::u16string& home);

// The failure log's bytes as UTF-8 text: on Windows the ANSI code page, or
// UTF-8 behind a byte-order mark; on Linux UTF-8 already.
std::string logText(const std::string& bytes);

}  // namespace qm::test
