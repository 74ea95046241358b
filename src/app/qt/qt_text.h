// The core's text is UTF-16, as is QString, so ordinary text crosses over
// unit for unit; only file paths taken from a URL need more care (dropped_paths.h).
#pragma once

#include <QString>
#include <string>

namespace qm::desktop {

inline QString toQString(const std::u16string& text) { return QString::fromStdU16String(text); }
inline std::u16string toU16(const QString& text) { return text.toStdU16String(); }

}  // namespace qm::desktop
