// The ways of dealing the options dialog (分发选项) adds to the window's
// controls: what it says, until the window closes (nothing is stored).
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_request.h"

namespace qm {

struct DealOptions {
    bool subfolders = false;
    bool byFolder = false;  // with subfolders only
    bool ratio = false;
    std::u16string weights = u"8:1:1";
    std::u16string names;  // may be empty
    RunRequest::Link link = RunRequest::Link::None;
    std::uint64_t common = 0;
    bool lists = false;

    bool operator==(const DealOptions&) const = default;
    bool isDefault() const { return *this == DealOptions(); }
    // What differs from the defaults, briefly, for the window's title:
    // "按比例 8:1:1，含子文件夹"; empty for the defaults.
    std::u16string summary() const;
};

}  // namespace qm
