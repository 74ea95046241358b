#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "text/utf.h"

namespace qm {
namespace {

struct Case {
    std::u16string_view name, pattern;
    bool matches;
};

TEST(Wildcard, Table) {
    const Case cases[] = {
        // plain globs over the whole name
        {u"photo.jpg", u"*.jpg", true},
        {u"photo.jpg.bak", u"*.jpg", false},
        {u"photo.jpeg", u"*.jpg", false},
        {u"a.jpg", u"?.jpg", true},
        {u"ab.jpg", u"?.jpg", false},
        {u".jpg", u"?.jpg", false},
        {u"abc", u"abc", true},
        {u"abcd", u"abc", false},
        {u"abc", u"a*c", true},
        {u"ac", u"a*c", true},
        {u"abcb", u"a*b", true},
        {u"ab", u"a**b", true},
        {u"", u"*", true},
        // case is ignored, ASCII and Latin-1 letters alike
        {u"PHOTO.JPG", u"*.jpg", true},
        {u"photo.jpg", u"*.JPG", true},
        {u"ÉTÉ.txt", u"été.*", true},
        {u"×", u"÷", false},  // not a letter pair, though 0x20 apart like one
        // ";" separates alternatives; empty alternatives match nothing
        {u"a.png", u"*.jpg;*.png", true},
        {u"a.gif", u"*.jpg;*.png", false},
        {u"a.png", u";;*.png;", true},
        {u"a", u";", false},
        {u"a", u"", false},
        // ".*" endings also take names without a dot
        {u"README", u"*.*", true},
        {u".bashrc", u"*.*", true},
        {u"a.b.c", u"*.*", true},
        {u"abc", u"a*.*", true},
        {u"xbc", u"a*.*", false},
        {u"abc.txt", u"abc.*", true},
        {u"abc", u"abc.*", true},
        {u"abcd", u"abc.*", false},
        // a lone "." ending takes only names without a dot
        {u"README", u"*.", true},
        {u"a.txt", u"*.", false},
        {u".bashrc", u"*.", false},
        {u"ab", u"ab.", true},
        {u"abc", u"ab.", false},
        // "?" is one character, even outside the Basic Multilingual Plane
        {u"\U0001F600.txt", u"?.txt", true},
        {u"\U0001F600.txt", u"??.txt", false},
        {u"x\U0001F600", u"*?", true},
        {u"分发.txt", u"??.TXT", true},
        // escaped bytes of a non-UTF-8 name are ordinary characters
        {u"\xdce9t\xdce9.txt", u"?t?.txt", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches)
            << "name \"" << text::toUtf8(c.name) << "\" pattern \"" << text::toUtf8(c.pattern) << "\"";
    }
}

TEST(Wildcard, ManyStarsStayFast) {
    const std::u16string name(255, u'a');
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        EXPECT_FALSE(matchesPattern(name, u"*a*a*a*a*b"));
        EXPECT_FALSE(matchesPattern(name, u"*a*a*a*a*a*a*a*a*a*a*a*a*b*.*"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(Wildcard, UnusablePatterns) {
    for (std::u16string_view pattern : {u"a/b", u"*\\*", u"c:*", u"a|b", u"<*>", u"\"*\""}) {
        EXPECT_FALSE(isUsablePattern(pattern)) << text::toUtf8(pattern);
    }
    EXPECT_FALSE(isUsablePattern(std::u16string_view(u"*\0", 2)));
    for (std::u16string_view pattern : {u"", u"*.*", u"*.jpg;*.png", u"[a]?*.txt", u"分发*"}) {
        EXPECT_TRUE(isUsablePattern(pattern));
    }
}

}  // namespace
}  // namespace qm
