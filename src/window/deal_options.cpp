#include "window/deal_options.h"

#include <vector>

#include "text/utf.h"

namespace qm {

std::u16string DealOptions::summary() const {
    std::vector<std::u16string> parts;
    if (ratio) parts.push_back(u"按比例 " + weights);
    if (subfolders) parts.push_back(byFolder ? u"按子文件夹分别分发" : u"含子文件夹");
    switch (link) {
        case RunRequest::Link::Hard: parts.push_back(u"硬链接"); break;
        case RunRequest::Link::Symbolic: parts.push_back(u"符号链接"); break;
        case RunRequest::Link::Clone: parts.push_back(u"克隆"); break;
        case RunRequest::Link::None: break;
    }
    if (common != 0) parts.push_back(u"每份共同文件" + text::decimal(common) + u"个");
    if (lists) parts.push_back(u"只生成清单");
    std::u16string text;
    for (const std::u16string& part : parts) {
        if (!text.empty()) text += u"，";
        text += part;
    }
    return text;
}

}  // namespace qm
