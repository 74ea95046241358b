// The file type filter box: its text becomes the file list's pattern.
#include "settings/filter_check.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

namespace {

constexpr char16_t kAllFiles[] = u"所有";
constexpr char16_t kCommonImages[] = u"常用图片格式";
constexpr char16_t kCommonImagePatterns[] = u"*.bmp;*.rle;*.dib;*.jpg;*.jpeg;*.jpe;*.jfi;*.png;*.gif;*.tif;*.tiff";

}  // namespace

std::u16string filterPattern(const std::u16string& text) {
    if (text == kAllFiles) return u"*.*";
    if (text == kCommonImages) return kCommonImagePatterns;
    return text;
}

void Form1::Combo1_Change() {
    File1.setPattern(filterPattern(Combo1.text()));
    LFiles.setCaption(text::decimal(File1.count()));
}

void Form1::Combo1_Click() { Combo1_Change(); }

}  // namespace qm
