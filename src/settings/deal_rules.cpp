#include "settings/deal_rules.h"

#include <algorithm>
#include <initializer_list>
#include <set>

#include "text/utf.h"

namespace qm {

namespace {

// The pieces of a message one after the other. (Joined with operator+,
// GCC 12 at -O3 warns of an overlap in its own string copy that cannot be.)
std::u16string said(std::initializer_list<std::u16string_view> pieces) {
    std::u16string text;
    for (const std::u16string_view piece : pieces) text.append(piece);
    return text;
}

}  // namespace

std::optional<std::u16string> ratioProblem(const std::u16string& text, std::vector<std::uint64_t>& weights) {
    weights.clear();
    const std::u16string wanted = u"比例须为2到1000个正整数，以“:”隔开（如 8:1:1）";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(u':', start), text.size());
        const std::u16string_view part = std::u16string_view(text).substr(start, end - start);
        if (part.empty() || part.size() > 7 ||
            !std::all_of(part.begin(), part.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
            return wanted;
        std::uint64_t weight = 0;
        for (const char16_t c : part) weight = weight * 10 + static_cast<std::uint64_t>(c - u'0');
        if (weight == 0) return u"比例中的每个数都须大于0";
        if (weight > kLargestWeight) return u"比例中的每个数都不能超过1000000";
        weights.push_back(weight);
        if (weights.size() > kMostWeights) return wanted;
        if (end == text.size()) break;
        start = end + 1;
    }
    if (weights.size() < 2) return wanted;
    return std::nullopt;
}

std::vector<std::u16string> shareNamesIn(const std::u16string& text) {
    std::vector<std::u16string> names(1);
    for (const char16_t c : text) {
        if (c == u',' || c == u'，') {
            names.emplace_back();
        } else {
            names.back() += c;
        }
    }
    return names;
}

std::optional<std::u16string> shareNamesProblem(const std::vector<std::u16string>& names, std::size_t weights,
                                                bool windowsNames) {
    if (names.size() != weights)
        return said({u"名称的个数（", text::decimal(names.size()), u"）须与比例中数的个数（", text::decimal(weights), u"）相同"});
    std::set<std::u16string> seen;
    for (const std::u16string& name : names) {
        const std::u16string shown = said({u"“", text::fromUtf8(text::printable(name)), u"”"});
        if (name.empty()) return u"名称不能为空";
        if (name.size() > kLongestShareName) return said({u"名称", shown, u"超过100个字符"});
        if (name == u"." || name == u"..") return said({u"名称不能是", shown});
        for (const char16_t c : name) {
            if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) return said({u"名称", shown, u"中有控制字符"});
            if (c == u'/' || c == u'\\') return said({u"名称", shown, u"中有路径分隔符"});
            if (windowsNames && std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos)
                return said({u"名称", shown, u"中有 Windows 不允许的字符"});
        }
        if (!seen.insert(name).second) return said({u"名称", shown, u"重复"});
    }
    return std::nullopt;
}

}  // namespace qm
