// A window over a real temporary folder, driven headless.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/fake_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"
#include "window/form1.h"

namespace qm::test {

class FormTest : public ::testing::Test {
protected:
    FormTest() {
        platform.logPaths = {dir.u16("分发失败记录.txt"), dir.u16("temp/分发失败记录.txt")};
        form = std::make_unique<Form1>(platform);
    }

    // Points the window at `src` (under the temporary folder) as its source
    // and `out` as its target, as a drop would.
    void useFolders(const std::string& src, const std::string& out) {
        form->LDir.setCaption(dir.u16(src));
        form->LDirOut.setCaption(dir.u16(out));
    }

    TempDir dir;
    FakePlatform platform;
    std::unique_ptr<Form1> form;
};

inline std::string utf8(const std::u16string& s) { return text::toUtf8(s); }

}  // namespace qm::test
