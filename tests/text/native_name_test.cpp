#include "text/native_name.h"

#include <gtest/gtest.h>

#include <vector>

#include "text/utf.h"

namespace qm {
namespace {

// Stored names are ordered as their UTF-16 texts would be, without being
// converted: on every pair of a set whose byte order and UTF-16 order differ
// (a supplementary character sorts below U+E000..U+FFFF in UTF-16, an
// escaped byte sits among the surrogates, a name's bytes may begin a
// character that a longer name completes), and that share long prefixes.
TEST(NativeName, OrderIsTheOrderOfTheTexts) {
    const std::vector<std::u16string> names = {
        u"", u"a", u"A", u"a.txt", u"ab", u"é", u"é.txt", u"éa", u"Ａ", u"Ａb", u"\U0001F600", u"\U0001F600a",
        u"\U0001F601", u"\xdcff", u"\xdc80z", u"\xdcc3", u"x\xdcffy", u"x\U0001F600", u"xＡ", u"照片", u"照片1", u"\uffff",
        u"IMG_0001.jpg", u"IMG_0001.JPG", u"IMG_00010.jpg",
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const std::u16string& a : names) {
        for (const std::u16string& b : names) {
            EXPECT_EQ(sign(text::compareNames(text::nativeName(a), text::nativeName(b))), sign(a.compare(b)))
                << text::toUtf8(a) << " vs " << text::toUtf8(b);
        }
        EXPECT_EQ(text::nameText(text::nativeName(a)), a);
    }
}

}  // namespace
}  // namespace qm
