// The manifest's text: every name and time survives writing and reading.
#include "engine/manifest.h"

#include <gtest/gtest.h>

#include "text/utf.h"

namespace qm {
namespace {

TEST(Manifest, FieldsRoundTripAnyName) {
    const std::u16string names[] = {
        u"plain.jpg", u"tab\there", u"line\nbreak\rreturn", u"back\\slash\\t", u"照片 2024.jpg",
        u"\U0001F600.png", u"caf\xdce9\xdcff", u"lone\xd800", u"\xdc41", u"", u"\\x41",
    };
    for (const std::u16string& name : names) {
        const std::string field = escapeField(name);
        EXPECT_EQ(field.find_first_of("\t\n\r"), std::string::npos) << field;
        EXPECT_EQ(unescapeField(field), name) << field;
    }
    EXPECT_EQ(escapeField(u"a\tb\\c\xdcff"), "a\\tb\\\\c\\xFF");
    for (const char* bad : {"end\\", "\\q", "\\x4", "\\x41", "\\uZZZZ"}) EXPECT_EQ(unescapeField(bad), std::nullopt) << bad;
}

TEST(Manifest, TimesRoundTripToTheNanosecond) {
    const struct {
        std::int64_t ns;
        const char* text;
    } cases[] = {
        {0, "1970-01-01T00:00:00.000000000Z"},
        {1718116325123456789, "2024-06-11T14:32:05.123456789Z"},
        {-1, "1969-12-31T23:59:59.999999999Z"},
        {951782400000000000, "2000-02-29T00:00:00.000000000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utcTime(c.ns), c.text);
        EXPECT_EQ(parseUtcTime(c.text), c.ns) << c.text;
    }
    for (const char* bad : {"2024-02-30T00:00:00.000000000Z", "2024-06-11 14:32:05.123456789Z", "2024-06-11T14:32:05Z"})
        EXPECT_EQ(parseUtcTime(bad), std::nullopt) << bad;
}

TEST(Manifest, ParsingRefusesWhatIsNotAManifest) {
    std::string error;
    const std::string good = "# quillmarsh manifest 1\n# seed 7\n# mode move\n"
                             "2\t/in/a\\tb\t/out/in_分发2/a\\tb\tmoved\t12\t2024-06-11T14:32:05.000000001Z\n";
    const auto manifest = parseManifest(good, error);
    ASSERT_TRUE(manifest) << error;
    EXPECT_EQ(manifest->seed, 7u);
    EXPECT_TRUE(manifest->move);
    ASSERT_EQ(manifest->rows.size(), 1u);
    EXPECT_EQ(manifest->rows[0].source, u"/in/a\tb");
    EXPECT_EQ(manifest->rows[0].outcome, TransferOutcome::Moved);
    EXPECT_EQ(manifest->rows[0].facts, (FileFacts{12, 1718116325000000001}));
    for (const std::string& bad : {std::string(), std::string("hello\n"), good.substr(0, 24) + "# mode copy\n",
                                   good + "1\tx\ty\tvanished\t1\t2024-06-11T14:32:05.000000001Z\n", good + "1\tonly\n"}) {
        EXPECT_FALSE(parseManifest(bad, error)) << bad;
        EXPECT_NE(error, "");
    }
}

}  // namespace
}  // namespace qm
