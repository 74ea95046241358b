// The record's text: every name and every time survives writing and reading,
// and a record that does not say where the run worked is refused.
#include <gtest/gtest.h>

#include "engine/record_format.h"
#include "engine/record_reader.h"
#include "text/utf.h"

namespace qm {
namespace {

TEST(RecordFormat, FieldsRoundTripAnyNameAndHideControls) {
    const std::u16string names[] = {
        u"plain.jpg", u"tab\there", u"line\nbreak\rreturn", u"back\\slash\\t", u"照片 2024.jpg",
        u"\U0001F600.png", u"caf\xdce9\xdcff", u"lone\xd800", u"\xdc41", u"", u"\\x41",
        u"esc\x1b[31m", u"bell\x07del\x7f", u"csi\x9b" u"2J",
    };
    for (const std::u16string& name : names) {
        const std::string field = escapeField(name);
        for (unsigned char c : field) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << field;  // nothing a terminal acts on
        EXPECT_EQ(unescapeField(field), name) << field;
    }
    EXPECT_EQ(escapeField(u"a\tb\\c\xdcff\x1b\x9b"), "a\\tb\\\\c\\xFF\\x1B\\u009B");
    // One spelling per name: printable text and raw controls are refused escaped or bare.
    for (const char* bad : {"end\\", "\\q", "\\x4", "\\x41", "\\uZZZZ", "\\u0041", "raw\x1b"})
        EXPECT_EQ(unescapeField(bad), std::nullopt) << bad;
}

TEST(RecordFormat, TimesOfAnyYearRoundTripToTheNanosecond) {
    const struct {
        FileTime time;
        const char* text;
    } cases[] = {
        {{0, 0}, "1970-01-01T00:00:00.000000000Z"},
        {{1718116325, 123456789}, "2024-06-11T14:32:05.123456789Z"},
        {{-1, 999999999}, "1969-12-31T23:59:59.999999999Z"},
        {{951782400, 0}, "2000-02-29T00:00:00.000000000Z"},
        {{10413792000, 5}, "2300-01-01T00:00:00.000000005Z"},        // past 2262
        {{-9214560000, 0}, "1678-01-01T00:00:00.000000000Z"},        // before 1677 is near
        {{-62167219200, 0}, "0000-01-01T00:00:00.000000000Z"},
        {{-62167219201, 0}, "-0001-12-31T23:59:59.000000000Z"},
        {{253402300800, 0}, "10000-01-01T00:00:00.000000000Z"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utcTime(c.time), c.text);
        EXPECT_EQ(parseUtcTime(c.text), c.time) << c.text;
    }
    for (const char* bad : {"2024-02-30T00:00:00.000000000Z", "2024-06-11 14:32:05.123456789Z", "2024-06-11T14:32:05Z",
                            "-0000-01-01T00:00:00.000000000Z", "2023-02-29T00:00:00.000000000Z"})
        EXPECT_EQ(parseUtcTime(bad), std::nullopt) << bad;
}

// An input file over a string, as the reader sees a record.
class TextInput : public InputFile {
public:
    explicit TextInput(std::string text) : text_(std::move(text)) {}
    long long read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, text_.size() - at_);
        std::copy_n(text_.data() + at_, n, buffer);
        at_ += n;
        return static_cast<long long>(n);
    }
    bool rewind() override { return seek(0); }
    std::uint64_t size() override { return text_.size(); }
    bool seek(std::uint64_t offset) override { return at_ = std::min<std::size_t>(offset, text_.size()), true; }

private:
    std::string text_;
    std::size_t at_ = 0;
};

constexpr char kHeader[] =
    "# quillmarsh manifest 2\n# seed 7\n# mode move\n# import /in\n# export /out\n# shares /out/in_分发\n# folders 3\n";
constexpr char kRow[] = "2\t/in/a\\tb\t/out/in_分发2/a\\tb\tmoved    \t12\t2024-06-11T14:32:05.000000001Z\t"
                        "0000000000000801:00000000000000ff\n";

// Reads a whole record; the error, or "" and the rows.
std::string readAll(const std::string& text, std::vector<RecordRow>* rows = nullptr,
                    RecordReader::Ending* ending = nullptr) {
    TextInput input(text);
    RecordReader reader(input, u'/');
    RecordHeader header;
    std::string error;
    if (!reader.readHeader(header, error)) return error;
    RecordRow row;
    while (reader.next(row, error)) {
        if (rows) rows->push_back(row);
    }
    if (ending) *ending = reader.ending();
    return error;
}

TEST(RecordReader, ReadsRowsAndHowTheRunEnded) {
    std::vector<RecordRow> rows;
    RecordReader::Ending ending{};
    ASSERT_EQ(readAll(std::string(kHeader) + kRow + "# end\n", &rows, &ending), "");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].source, u"/in/a\tb");
    EXPECT_EQ(rows[0].name, u"a\tb");
    EXPECT_EQ(rows[0].outcome, TransferOutcome::Moved);
    EXPECT_EQ(rows[0].stamp, (FileStamp{{0x801, 0xff}, {12, {1718116325, 1}}}));
    EXPECT_EQ(ending, RecordReader::Ending::Complete);
    // Killed: no last line; the line being written when it died, or the room
    // reserved for lines it never wrote, is passed over.
    for (const std::string& tail :
         {std::string("1\t/in/c"), std::string(900000, '\0'), "1\t/in/c" + std::string(900000, '\0')}) {
        rows.clear();
        ASSERT_EQ(readAll(std::string(kHeader) + kRow + tail, &rows, &ending), "");
        EXPECT_EQ(rows.size(), 1u);
        EXPECT_EQ(ending, RecordReader::Ending::Missing);
    }
    ASSERT_EQ(readAll(std::string(kHeader).substr(0, 40) + std::string(1000, '\0'), &rows), "");  // nothing begun
    ASSERT_EQ(readAll(std::string(kHeader) + "# end interrupted 3\n", nullptr, &ending), "");
    EXPECT_EQ(ending, RecordReader::Ending::Interrupted);
}

// Anything a run could not have written is refused, at its line.
TEST(RecordReader, RefusesWhatARunCouldNotHaveWritten) {
    const std::string header(kHeader), row(kRow);
    auto replaced = [&](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {"", "empty"},
        {"hello\n", "not a record"},
        {"# quillmarsh manifest 1\n# seed 7\n# mode move\n", "the old format has no identities"},
        {replaced(header, "# mode move\n", ""), "no mode"},
        {replaced(header, "/out/in_分发", "/elsewhere/in_分发"), "shares outside the target"},
        {replaced(header, "/out/in_分发", "/out/Documents"), "shares not named as shares are"},
        {header + "\n", "an empty line"},
        {header + replaced(row, "/out/in_分发2/", "/out/in_分发3/"), "the wrong share"},
        {header + replaced(row, "/in/a", "/in/sub/a"), "a source below the import folder"},
        {header + replaced(row, "/out/in_分发2/a\\tb", "/out/in_分发2/x"), "two names"},
        {header + replaced(replaced(row, "/in/a\\tb", "/in/.."), "分发2/a\\tb", "分发2/.."), "a name that is no name"},
        {header + replaced(row, "moved    ", "moved"), "an outcome not padded"},
        {replaced(header, "move\n", "copy\n") + row, "moved in a copy run"},
        {header + replaced(row, "2\t", "0\t"), "share 0"},
        {header + replaced(row, "2\t", "4\t"), "a share beyond the folders made"},
        {header + row + replaced(row, "2\t", "1\t"), "a later row whose path is in another share"},
        {header + replaced(row, "0000000000000801", "801"), "a short identity"},
        {header + row + "# end\n" + row, "a row after the end"},
        {header + "1\tonly\n", "missing fields"},
        {header + replaced(row, "\n", "\textra\n"), "a field too many"},
    };
    for (const auto& c : cases) EXPECT_NE(readAll(c.text), "") << c.why;
}

}  // namespace
}  // namespace qm
