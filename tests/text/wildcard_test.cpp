#include "text/wildcard.h"

#include <gtest/gtest.h>

#include <chrono>

#include "text/native_name.h"
#include "text/utf.h"

namespace qm {
namespace {

TEST(Wildcard, Table) {
    struct Case {
        std::u16string_view name, pattern;
        bool matches;
    } cases[] = {
        // whole-name globs
        {u"photo.jpg", u"*.jpg", true}, {u"photo.jpg.bak", u"*.jpg", false}, {u"photo.jpeg", u"*.jpg", false},
        {u"a.jpg", u"?.jpg", true}, {u"ab.jpg", u"?.jpg", false}, {u"abcb", u"a*b", true}, {u"ac", u"a*c", true},
        {u"abcd", u"abc", false}, {u"", u"*", true},
        // case
        {u"PHOTO.JPG", u"*.jpg", true}, {u"ÉTÉ.txt", u"été.*", true}, {u"×", u"÷", false},
        // alternatives; empty ones match nothing
        {u"a.png", u"*.jpg;*.png", true}, {u"a.gif", u"*.jpg;*.png", false}, {u"a.png", u";;*.png;", true},
        {u"a", u";", false}, {u"a", u"", false},
        // ".*" endings also take names without a dot
        {u"README", u"*.*", true}, {u".bashrc", u"*.*", true}, {u"abc", u"a*.*", true}, {u"xbc", u"a*.*", false},
        {u"abc", u"abc.*", true}, {u"abcd", u"abc.*", false},
        // a lone "." ending takes only names without a dot
        {u"README", u"*.", true}, {u"a.txt", u"*.", false}, {u".bashrc", u"*.", false}, {u"abc", u"ab.", false},
        // "?" is one character, surrogate pairs and escaped bytes included
        {u"\U0001F600.txt", u"?.txt", true}, {u"\U0001F600.txt", u"??.txt", false}, {u"分发.txt", u"??.TXT", true},
        {u"\xdce9t\xdce9", u"?t?", true},
        // endings, which a stored name is tested against without converting it
        {u"photo.JpG", u"*.jPg", true}, {u"x.jpg", u"*g", true}, {u"分发.jpg", u"*.JPG", true},
        {u"夏天.ÉTÉ", u"*.été", true}, {u"夏天.ete", u"*.été", false}, {u"a\xdce9", u"*\xdce9", true},
        {u"jpg", u"*.jpg", false}, {u"a.jpg", u"*.gif;*.jpg", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches)
            << text::toUtf8(c.name) << " against " << text::toUtf8(c.pattern);
        // The file list's compiled form gives the same answers on stored names.
        EXPECT_EQ(NamePattern(c.pattern).matches(text::nativeName(c.name)), c.matches)
            << "compiled: " << text::toUtf8(c.name) << " against " << text::toUtf8(c.pattern);
    }
}

// Letter case is ignored in every script, one character to one: Unicode's
// simple case folding, with no Turkish or multi-character foldings.
TEST(Wildcard, CaseFoldingBeyondLatin1) {
    struct Case {
        std::u16string_view name, pattern;
        bool matches;
    } cases[] = {
        {u"a.жпг", u"*.ЖПГ", true}, {u"a.ＪＰＧ", u"*.ｊｐｇ", true}, {u"x.āb", u"*.ĀB", true}, {u"x.αβγ", u"*.ΑΒΓ", true},
        {u"ς.txt", u"σ.*", true}, {u"Σ.txt", u"ς.*", true}, {u"x.σ", u"*.Σ", true}, {u"x.Ж", u"*.ж", true},
        // Turkish: İ has only a multi-character or a Turkish folding, ı none
        {u"İ.txt", u"İ.*", true}, {u"İ.txt", u"i.*", false}, {u"x.i", u"*.İ", false}, {u"x.ı", u"*.I", false},
        {u"x.ı", u"*.i", false}, {u"ı.txt", u"I.*", false},
        // the Kelvin sign and the long s fold to ASCII letters
        {u"x.K", u"*.k", true}, {u"K.txt", u"K.*", true}, {u"x.ſ", u"*.S", true}, {u"x.s", u"*.ſ", true},
        // ß is not ss, but the capital ẞ is ß
        {u"x.ß", u"*.ss", false}, {u"x.ss", u"*.SS", true}, {u"x.ẞ", u"*.ß", true}, {u"ß.txt", u"ẞ.*", true},
        // a supplementary-plane pair folds as one character (Deseret 𐐀 / 𐐨)
        {u"x.𐐨", u"*.𐐀", true}, {u"𐐀𐐁", u"𐐨?", true},
        // an ending never starts inside a surrogate pair
        {u"x𐐀", u"*Ü00", false}, {u"𐐀x", u"*𐐀X", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches)
            << text::toUtf8(c.name) << " against " << text::toUtf8(c.pattern);
        EXPECT_EQ(NamePattern(c.pattern).matches(text::nativeName(c.name)), c.matches)
            << "compiled: " << text::toUtf8(c.name) << " against " << text::toUtf8(c.pattern);
    }
}

TEST(Wildcard, ManyStarsStayFast) {
    const std::u16string name(255, u'a');
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) EXPECT_FALSE(matchesPattern(name, u"*a*a*a*a*a*a*a*a*a*a*b*.*"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(Wildcard, UnusablePatterns) {
    using namespace std::literals;
    for (std::u16string_view p : {u"a/b"sv, u"*\\*"sv, u"c:*"sv, u"a|b"sv, u"<*>"sv, u"\"*\""sv, u"*\0"sv}) {
        EXPECT_FALSE(isUsablePattern(p)) << text::toUtf8(p);
    }
    for (std::u16string_view p : {u"", u"*.jpg;*.png", u"[a]?*.txt", u"分发*"}) EXPECT_TRUE(isUsablePattern(p));
    EXPECT_FALSE(NamePattern(u"*.*|").matches(text::nativeName(u"a.txt")));  // unusable: lists nothing
}

}  // namespace
}  // namespace qm
