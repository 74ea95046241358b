// The file type filter box: its text becomes the file list's pattern.
#include "text/utf.h"
#include "window/form1.h"

namespace qm {

namespace {

constexpr char16_t kAllFiles[] = u"所有";
constexpr char16_t kCommonImages[] = u"常用图片格式";
constexpr char16_t kCommonImagePatterns[] = u"*.bmp;*.rle;*.dib;*.jpg;*.jpeg;*.jpe;*.jfi;*.png;*.gif;*.tif;*.tiff";

}  // namespace

void Form1::Combo1_Change() {
    const std::u16string& text = Combo1.text();
    if (text == kAllFiles) {
        File1.setPattern(u"*.*");
    } else if (text == kCommonImages) {
        File1.setPattern(kCommonImagePatterns);
    } else {
        File1.setPattern(text);
    }
    LFiles.setCaption(text::decimal(File1.count()));
}

void Form1::Combo1_Click() { Combo1_Change(); }

}  // namespace qm
