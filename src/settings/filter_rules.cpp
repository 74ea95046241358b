// What may be typed into the filter box, and what a typed filter must look
// like before the focus may leave the box.
#include <array>

#include "platform/platform.h"
#include "settings/filter_check.h"
#include "window/form1.h"

namespace qm {

namespace {

constexpr std::size_t kLongestTyped = 12;  // "*." and up to 10 more characters
constexpr char16_t kBackspace = 8;

// The space and every ASCII punctuation character except "*" and "_".
bool isRefusedCharacter(std::int16_t key) {
    return (key >= 32 && key <= 41) || (key >= 43 && key <= 47) || (key >= 58 && key <= 64) ||
           (key >= 91 && key <= 94) || key == 96 || (key >= 123 && key <= 126);
}

struct FilterRule {
    bool (*fails)(const std::u16string& text);
    const char16_t* message;
    bool resetText;  // replace the text with "*." before selecting
};

const std::array<FilterRule, 5> kRules{{
    {[](const std::u16string& t) { return t.empty(); }, u"错误：文件类型过滤标识不能为空！重新检查输入！", true},
    {[](const std::u16string& t) { return t.size() < 3; }, u"错误：文件类型过滤标识字符长度少于3个！重新检查输入！",
     true},
    {[](const std::u16string& t) { return !t.starts_with(u"*."); },
     u"错误：文件类型过滤标识必须以 “*.”开头！重新检查输入！", true},
    {[](const std::u16string& t) { return t.size() > kLongestTyped; },
     u"错误：文件类型过滤标识太长，超出10个字符限制！重新检查输入！", true},
    {[](const std::u16string& t) {
         return t.find(u'.', 2) != std::u16string::npos || t.find(u'*', 3) != std::u16string::npos;
     },
     u"错误：文件类型过滤标识从第3个字符起，不允许出现“.”或“*”！重新检查输入！", false},
}};

const FilterRule* brokenRule(const std::u16string& text) {
    for (const FilterRule& rule : kRules) {
        if (rule.fails(text)) return &rule;
    }
    return nullptr;
}

}  // namespace

void Form1::Combo1_KeyPress(std::int16_t& key) {
    const std::size_t length = Combo1.text().size();
    bool refuse = false;
    if (length == 0) {
        key = u'*';
    } else if (length == 1) {
        key = u'.';
    } else if (length < kLongestTyped) {
        refuse = isRefusedCharacter(key) || (key == u'*' && length != 2);
    } else if (key != kBackspace) {
        refuse = true;
    } else if (Combo1.selLength() == length) {
        key = u'*';
    }
    if (refuse) {
        key = 0;
        user().beep();
    }
}

std::optional<std::u16string> typedFilterProblem(const std::u16string& text) {
    if (const FilterRule* rule = brokenRule(text)) return std::u16string(rule->message);
    return std::nullopt;
}

void Form1::Combo1_Validate(bool& cancel) {
    if (Combo1.listIndex() >= 0) return;  // a chosen list item is always accepted
    const FilterRule* rule = brokenRule(Combo1.text());
    if (!rule) return;
    cancel = true;
    user().messageBox({rule->message, u"错误——非法文件类型", MsgButtons::Ok, MsgIcon::Critical, 0});
    if (rule->resetText) Combo1.setText(u"*.");
    setFocus(Combo1);
    Combo1.setSelection(2, kLongestTyped);
}

}  // namespace qm
