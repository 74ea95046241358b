#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/form_fixture.h"
#include "window/event_table.h"
#include "window/layout.h"

namespace qm::test {
namespace {

TEST(Layout, TwentyOneControlsInTabOrderWithUniqueNames) {
    auto layout = formLayout();
    ASSERT_EQ(layout.size(), 21u);
    std::set<std::u16string> names;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        EXPECT_EQ(layout[i].tabIndex, static_cast<int>(i));
        names.insert(layout[i].name);
    }
    EXPECT_EQ(names.size(), 21u);
}

TEST(Layout, ControlsSitInsideTheirContainers) {
    const WindowSpec& window = formSpec();
    const ControlSpec& frame = layoutOf(u"Frame1");
    for (const ControlSpec& c : formLayout()) {
        const Twips& g = c.geometry;
        if (c.container == u"Frame1") {
            EXPECT_LE(g.left + g.width, frame.geometry.width) << utf8(c.name);
            EXPECT_LE(g.top + g.height, frame.geometry.height) << utf8(c.name);
        } else if (c.name == u"File1") {
            EXPECT_EQ(g.top, window.clientHeight);  // wholly below the client area
            EXPECT_FALSE(c.visible);
        } else if (c.name != u"Label5") {  // the link reaches 15 twips below
            EXPECT_LE(g.left + g.width, window.clientWidth) << utf8(c.name);
            EXPECT_LE(g.top + g.height, window.clientHeight) << utf8(c.name);
        }
    }
    // The folder labels end where the frame does.
    for (auto name : {u"LDir", u"LDirOut", u"Frame1"}) {
        const Twips& g = layoutOf(name).geometry;
        EXPECT_EQ(g.left + g.width, 6015) << utf8(name);
    }
}

TEST(Layout, FilterListHoldsItsFixedItems) {
    const auto& items = filterItems();
    ASSERT_EQ(items.size(), 46u);
    EXPECT_EQ(items.front(), u"所有");
    EXPECT_EQ(items[1], u"常用图片格式");
    EXPECT_EQ(items[2], u"*.bmp;*.rle;*.dib");
    EXPECT_EQ(items.back(), u"*.dicom");
    auto longest = std::max_element(items.begin(), items.end(),
                                    [](const auto& a, const auto& b) { return a.size() < b.size(); });
    EXPECT_EQ(longest->size(), 24u);
    EXPECT_EQ(std::count(items.begin(), items.end(), u"*.*"), 0);
}

class EventTableTest : public FormTest {};

TEST_F(EventTableTest, EveryRowNamesARealControlAndAttachesItsHandler) {
    for (const EventBinding& row : eventTable()) {
        if (row.control == u"Form1") continue;
        Control* c = form->control(row.control);
        ASSERT_NE(c, nullptr) << utf8(std::u16string(row.control));
        EXPECT_TRUE(row.handler.starts_with(row.control.substr(0, 3))) << utf8(std::u16string(row.handler));
        EXPECT_NE(row.attach, nullptr);
    }
}

TEST_F(EventTableTest, UnlistedEventsAreNotHandled) {
    EXPECT_FALSE(form->TParts.onChange);
    EXPECT_FALSE(form->TDivs.onChange);
    EXPECT_FALSE(form->Option1.onClick);
    EXPECT_FALSE(form->Option2.onClick);
    EXPECT_FALSE(form->Label1.onChange);
    EXPECT_FALSE(form->LDirOut.onChange);
}

TEST_F(EventTableTest, StartStateMatchesTheTable) {
    EXPECT_EQ(form->caption(), u"Quillmarsh");
    EXPECT_TRUE(form->enabled());
    EXPECT_EQ(form->tag(), u"");
    EXPECT_EQ(form->focused(), &form->CmdIn);
    EXPECT_EQ(form->LDir.caption(), u"");
    EXPECT_EQ(form->LFiles.caption(), u"0");
    EXPECT_EQ(form->Combo1.text(), u"*.*");
    EXPECT_EQ(form->Combo1.listIndex(), -1);
    EXPECT_EQ(form->TParts.text(), u"50");
    EXPECT_FALSE(form->TParts.enabled());
    EXPECT_EQ(form->TDivs.text(), u"5");
    EXPECT_TRUE(form->TDivs.enabled());
    EXPECT_TRUE(form->Opt2.value());
    EXPECT_FALSE(form->Opt1.value());
    EXPECT_TRUE(form->Option2.value());
    EXPECT_EQ(form->ChBackUp.value(), 0);
    EXPECT_TRUE(form->CmdDo.enabled());
    EXPECT_EQ(form->File1.pattern(), u"*.*");
}

}  // namespace
}  // namespace qm::test
