#include "text/name_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "text/utf.h"

namespace qm {
namespace {

// Random names of pieces that make UTF-16 order and byte order part ways
// (characters above U+FFFF against U+E000..U+FFFF, escaped bytes among the
// surrogates, escapes that together spell a character, surrogates that cannot
// be stored on Linux), behind long shared prefixes so that keys tie over
// several rounds and pairs straddle key boundaries; half of them extend an
// earlier name, so that many small runs tie, names end inside a key and
// repeat. Any subset of the table, large or small, in any order, must come
// out in the order of compareNames, which is that of the texts.
TEST(NameOrder, SortsAsCompareNamesDoes) {
    const std::vector<std::u16string> pieces = {
        u"a",     u"b",     u"~",     u"é",     u"Ａ",    u"\uE000", u"\U0001F600",       u"\U00010000", u"\U0010FFFF",
        u"\xDC80", u"\xDCFF", u"\xDCC3", u"\xDCA9", u"\xDCF0", u"\xDC9F", u"\xD800",    u"\xDFFF",     std::u16string(1, 0)};
    const std::vector<std::u16string> prefixes = {u"", u"IMG_2024_", u"照片\U0001F600\U0001F600x", u"\xDCF0\xDC9F\xDC98"};
    std::mt19937 random(19);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const struct {
        std::size_t names, sorted;
    } cases[] = {{2, 2}, {3, 3}, {40, 35}, {6000, 5000}, {6000, 200}};
    for (const auto& c : cases) {
        std::vector<std::u16string> texts;
        NativeName arena;
        std::vector<std::uint32_t> ends;
        for (std::size_t i = 0; i < c.names; ++i) {
            const bool extends = i > 0 && pick(2) == 0;
            std::u16string name = extends ? texts[pick(i)] : prefixes[pick(prefixes.size())];
            for (std::size_t n = pick(extends ? 3 : 12); n > 0; --n) name += pieces[pick(pieces.size())];
            texts.push_back(name);
            arena += text::nativeName(name);
            ends.push_back(static_cast<std::uint32_t>(arena.size()));
        }
        auto nameAt = [&](std::uint32_t i) {
            const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
            return NativeNameView(arena).substr(begin, ends[i] - begin);
        };
        std::vector<std::uint32_t> positions(c.names);
        std::iota(positions.begin(), positions.end(), 0u);
        std::shuffle(positions.begin(), positions.end(), random);
        positions.resize(c.sorted);
        std::vector<std::uint32_t> expected = positions;
        std::sort(expected.begin(), expected.end(), [&](std::uint32_t a, std::uint32_t b) {
            return text::compareNames(nameAt(a), nameAt(b)) < 0;
        });

        text::sortNames(positions, arena, ends);
        ASSERT_EQ(positions.size(), expected.size());
        for (std::size_t k = 0; k < positions.size(); ++k) {
            ASSERT_EQ(text::compareNames(nameAt(positions[k]), nameAt(expected[k])), 0)
                << c.sorted << " of " << c.names << " names, at " << k << ": "
                << text::toUtf8(text::nameText(nameAt(positions[k])));
            if (k > 0) {
                ASSERT_LE(text::nameText(nameAt(positions[k - 1])).compare(text::nameText(nameAt(positions[k]))), 0)
                    << text::toUtf8(text::nameText(nameAt(positions[k])));
            }
        }
        std::sort(positions.begin(), positions.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(positions, expected) << "every name once";
    }
}

}  // namespace
}  // namespace qm
