#include "support/listed_names.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "text/native_name.h"

namespace qm::test {

std::optional<std::vector<std::u16string>> listedNames(System& platform, const std::u16string& folder) {
    FolderNames names;
    names.add(text::nativeName(u"left over"));  // a list is always replaced, never added to
    if (!platform.listFolder(folder, names)) {
        EXPECT_EQ(names.size(), 0u) << "a failed listing leaves names behind";
        return std::nullopt;
    }
    std::vector<std::u16string> text;
    for (std::size_t i = 0; i < names.size(); ++i) text.push_back(text::nameText(names.name(i)));
    std::sort(text.begin(), text.end());
    return text;
}

}  // namespace qm::test
