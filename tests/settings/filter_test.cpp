#include <gtest/gtest.h>

#include <filesystem>

#include "support/form_fixture.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class FilterTest : public FormTest {
protected:
    void SetUp() override {
        dir.write("src/a.jpg", "a");
        dir.write("src/b.JPEG", "b");
        dir.write("src/c.png", "c");
        dir.write("src/README", "r");
        dir.write("src/d.tar.gz", "d");
        form->LDir.setCaption(dir.u16("src"));
    }
};

struct TypingCase {
    const char* name;
    std::u16string start;
    bool selectAll;
    std::u16string keys;
    std::u16string expected;
    int beeps;
};

void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }

class FilterTypingTest : public FilterTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(FilterTypingTest, KeystrokesArePushedTowardsAnExtension) {
    const TypingCase& c = GetParam();
    form->Combo1.setText(c.start);
    if (c.selectAll) form->Combo1.setSelection(0, c.start.size());
    form->type(form->Combo1, c.keys);
    EXPECT_EQ(form->Combo1.text(), c.expected);
    EXPECT_EQ(platform.beeps, c.beeps);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FilterTypingTest,
    ::testing::Values(
        TypingCase{"anyTwoKeysMakeStarDot", u"", false, u"ab", u"*.", 0},
        TypingCase{"backspaceInEmptyBoxGivesStar", u"", false, u"\b", u"*", 0},
        TypingCase{"starRightAfterStarDot", u"*.", false, u"*", u"*.*", 0},
        TypingCase{"starLaterIsRefused", u"*.j", false, u"*", u"*.j", 1},
        TypingCase{"punctuationIsRefused", u"*.", false, u".;,:?/\\|\" `", u"*.", 11},
        TypingCase{"lettersDigitsUnderscoreAndChinese", u"*.", false, u"a1_图", u"*.a1_图", 0},
        TypingCase{"twelfthCharacterIsTheLast", u"*.abcdefghi", false, u"jk", u"*.abcdefghij", 1},
        TypingCase{"backspaceAtTwelveDeletes", u"*.abcdefghij", false, u"\b", u"*.abcdefghi", 0},
        TypingCase{"wholeLongTextSelectedBackspaceGivesStar", u"*.abcdefghij", true, u"\b", u"*", 0},
        TypingCase{"wholeLongTextSelectedLetterIsRefused", u"*.abcdefghij", true, u"x", u"*.abcdefghij", 1},
        TypingCase{"controlKeyRefusedAtTwelve", u"*.abcdefghij", false, u"\r", u"*.abcdefghij", 1},
        TypingCase{"longListItemTakesOnlyBackspace", u"*.bmp;*.rle;*.dib", false, u"x\b", u"*.bmp;*.rle;*.di", 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct RuleCase {
    const char* name;
    std::u16string text;
    std::u16string message;  // empty: accepted
    std::u16string after;
    std::size_t selLength;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class FilterValidationTest : public FilterTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(FilterValidationTest, LeavingTheBoxChecksATypedFilter) {
    const RuleCase& c = GetParam();
    form->setFocus(form->Combo1);
    form->paste(form->Combo1, u"");  // make it a typed filter
    form->Combo1.replaceText(c.text, c.text.size());
    const bool left = form->click(form->CmdOut);
    if (c.message.empty()) {
        EXPECT_TRUE(left);
        EXPECT_TRUE(platform.boxes.empty());
        return;
    }
    EXPECT_FALSE(left);
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].prompt, c.message);
    EXPECT_EQ(platform.boxes[0].title, u"错误——非法文件类型");
    EXPECT_EQ(platform.boxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(platform.boxes[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(form->Combo1.text(), c.after);
    EXPECT_EQ(form->Combo1.selStart(), 2u);
    EXPECT_EQ(form->Combo1.selLength(), c.selLength);
    EXPECT_EQ(form->focused(), &form->Combo1);
    EXPECT_TRUE(platform.dialogs.empty());  // the click was swallowed
    EXPECT_EQ(form->File1.pattern(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, FilterValidationTest,
    ::testing::Values(
        RuleCase{"empty", u"", u"错误：文件类型过滤标识不能为空！重新检查输入！", u"*.", 0},
        RuleCase{"twoCharacters", u"ab", u"错误：文件类型过滤标识字符长度少于3个！重新检查输入！", u"*.", 0},
        RuleCase{"wrongStart", u"x.jpg", u"错误：文件类型过滤标识必须以 “*.”开头！重新检查输入！", u"*.", 0},
        RuleCase{"tooLong", u"*.abcdefghijk", u"错误：文件类型过滤标识太长，超出10个字符限制！重新检查输入！", u"*.", 0},
        RuleCase{"dotLater", u"*.tar.gz", u"错误：文件类型过滤标识从第3个字符起，不允许出现“.”或“*”！重新检查输入！",
                 u"*.tar.gz", 6},
        RuleCase{"starLater", u"*.j*", u"错误：文件类型过滤标识从第3个字符起，不允许出现“.”或“*”！重新检查输入！",
                 u"*.j*", 2},
        RuleCase{"starDotStar", u"*.*", u"", u"", 0}, RuleCase{"starAfterDot", u"*.*abc", u"", u"", 0},
        RuleCase{"twelveCharacters", u"*.abcdefghij", u"", u"", 0},
        RuleCase{"pastedSemicolonPasses", u"*.a;b", u"", u"", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilterTest, ListItemsApplyTheirPatternsWithoutChecks) {
    form->chooseItem(form->Combo1, 1);  // 常用图片格式
    EXPECT_EQ(form->LFiles.caption(), u"3");
    EXPECT_TRUE(form->click(form->CmdOut));
    form->chooseItem(form->Combo1, 0);  // 所有
    EXPECT_EQ(form->File1.pattern(), u"*.*");
    EXPECT_EQ(form->LFiles.caption(), u"5");
    form->chooseItem(form->Combo1, 2);  // a multi-pattern item is accepted as it stands
    EXPECT_TRUE(form->click(form->CmdOut));
    EXPECT_TRUE(platform.boxes.empty());
}

TEST_F(FilterTest, EveryChangeRecountsAndTheButtonFollows) {
    // A folder left alone for a while, whose version proves that it holds
    // the names read before: the pattern is applied to those.
    platform.clockAhead = 60;
    form->LDir.setCaption(form->LDir.caption());
    const int listed = platform.listings;
    form->setFocus(form->Combo1);
    form->Combo1.setSelStart(3);
    form->type(form->Combo1, u"\b");  // "*." lists the names without an extension
    EXPECT_EQ(form->LFiles.caption(), u"1");
    form->type(form->Combo1, u"png");
    EXPECT_EQ(form->LFiles.caption(), u"1");
    form->type(form->Combo1, u"x");  // "*.pngx" matches nothing
    EXPECT_EQ(form->LFiles.caption(), u"0");
    EXPECT_FALSE(form->CmdDo.enabled());
    EXPECT_EQ(form->TDivs.text(), u"0");
    form->type(form->Combo1, u"\b");
    EXPECT_TRUE(form->CmdDo.enabled());
    EXPECT_EQ(form->TDivs.text(), u"1");
    // Where the file system keeps folder versions, nothing was read again.
    if (platform.folderVersion(form->File1.path())) {
        EXPECT_EQ(platform.listings, listed);
    }
    form->LDir.setCaption(form->LDir.caption());
    EXPECT_GT(platform.listings, listed);
}

// The count is the folder's as it is now: files added or removed from
// outside since it was chosen count, and a folder that is gone counts none.
TEST_F(FilterTest, TheCountFollowsTheFolderAsItIsNow) {
    form->chooseItem(form->Combo1, 0);  // 所有
    form->setFocus(form->Combo1);
    form->Combo1.setText(u"*.pn");
    const struct {
        const char* name;
        void (*change)(const TempDir&);
        const char16_t* count;
    } changes[] = {
        {"two added", [](const TempDir& d) { d.write("src/e.png", "e"), d.write("src/f.png", "f"); }, u"3"},
        {"one removed", [](const TempDir& d) { fs::remove(d.native("src/c.png")); }, u"2"},
        {"the folder gone", [](const TempDir& d) { fs::remove_all(d.native("src")); }, u"0"},
    };
    for (const auto& c : changes) {
        c.change(dir);
        for (const bool settled : {false, true}) {
            platform.clockAhead = settled ? 60 : 0;
            form->type(form->Combo1, u"g");
            EXPECT_EQ(form->LFiles.caption(), c.count) << c.name;
            form->type(form->Combo1, u"\b");
        }
    }
    EXPECT_FALSE(form->CmdDo.enabled());
}

TEST_F(FilterTest, UnusablePatternsListNothing) {
    form->setFocus(form->Combo1);
    form->paste(form->Combo1, u"");
    form->Combo1.replaceText(u"*.a/b", 5);
    EXPECT_EQ(form->LFiles.caption(), u"0");
    form->Combo1.replaceText(u"*.jp?", 5);
    EXPECT_EQ(form->LFiles.caption(), u"1");
}

}  // namespace
}  // namespace qm::test
