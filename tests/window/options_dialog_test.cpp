// The options dialog (分发选项) through the model: what may be chosen with
// what, what 确定 refuses, and what its options do to the window and its runs.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/form_fixture.h"
#include "window/options_dialog.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;

class OptionsDialogTest : public FormTest {
protected:
    OptionsDialog dialog(bool moving = false, std::uint64_t files = 10) {
        return OptionsDialog(platform, DealOptions(), moving, files, kWindows);
    }
    // The window's dialog host, driven as a user would by `fill`.
    void answerOptionsWith(std::function<void(OptionsDialog&)> fill) {
        form->setDialogHost([fill](Form& shown) { fill(static_cast<OptionsDialog&>(shown)); });
    }
};

// Every rule of what may be chosen with what, from the same start.
TEST_F(OptionsDialogTest, ChoicesThatExcludeEachOtherCannotBeReached) {
    struct Case {
        const char* name;
        bool moving;
        void (*choose)(OptionsDialog&);
        void (*expect)(OptionsDialog&);
    };
    const Case cases[] = {
        {"at_first", false, [](OptionsDialog&) {},
         [](OptionsDialog& d) {
             EXPECT_FALSE(d.ChByFolder.enabled());
             EXPECT_FALSE(d.TWeights.enabled());
             EXPECT_TRUE(d.OptHard.enabled() && d.ChLists.enabled() && d.TCommon.enabled());
         }},
        {"subfolders", false, [](OptionsDialog& d) { d.click(d.ChSubfolders); },
         [](OptionsDialog& d) { EXPECT_TRUE(d.ChByFolder.enabled()); }},
        {"subfolders_off_again", false,
         [](OptionsDialog& d) { d.click(d.ChSubfolders), d.click(d.ChByFolder), d.click(d.ChSubfolders); },
         [](OptionsDialog& d) { EXPECT_FALSE(d.ChByFolder.enabled() || d.ChByFolder.value()); }},
        {"ratio", false, [](OptionsDialog& d) { d.click(d.ChRatio); },
         [](OptionsDialog& d) { EXPECT_TRUE(d.TWeights.enabled() && d.TNames.enabled()); }},
        {"a_list", false, [](OptionsDialog& d) { d.click(d.ChLists); },
         [](OptionsDialog& d) { EXPECT_FALSE(d.OptHard.enabled() || d.OptSymbolic.enabled() || d.OptClone.enabled()); }},
        {"a_link", false, [](OptionsDialog& d) { d.click(d.OptHard); },
         [](OptionsDialog& d) { EXPECT_FALSE(d.ChLists.enabled()); }},
        {"moving", true, [](OptionsDialog&) {},
         [](OptionsDialog& d) {
             EXPECT_FALSE(d.OptHard.enabled() || d.ChLists.enabled() || d.TCommon.enabled());
             EXPECT_TRUE(d.OptPlain.value());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OptionsDialog d = dialog(c.moving);
        c.choose(d);
        c.expect(d);
    }
}

// 确定 checks the fields with the command line's rules; what is wrong is
// said in a 警告 box and the dialog stays open with the fields as typed.
TEST_F(OptionsDialogTest, BadFieldsAreToldAndTheDialogStays) {
    const struct {
        const char* weights;
        const char* names;
        const char* common;
    } cases[] = {{"8", "", "0"}, {"0:1", "", "0"}, {"1:1", "a", "0"}, {"1:1", "a,a", "0"}, {"1:1", "", "10"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.weights + std::string(" ") + c.names + " " + c.common);
        OptionsDialog d = dialog();
        d.click(d.ChRatio);
        d.TWeights.setText(text::fromUtf8(c.weights));
        d.TNames.setText(text::fromUtf8(c.names));
        d.TCommon.setText(text::fromUtf8(c.common));
        platform.boxes.clear();
        d.click(d.CmdOK);
        ASSERT_EQ(platform.boxes.size(), 1u);
        EXPECT_EQ(platform.boxes[0].title, u"警告");
        EXPECT_FALSE(d.closed());
        EXPECT_EQ(d.TWeights.text(), text::fromUtf8(c.weights));
    }
    OptionsDialog d = dialog();
    d.type(d.TCommon, u"x2");
    EXPECT_EQ(d.TCommon.text(), u"02");  // digits only
    d.click(d.CmdDefaults);
    EXPECT_TRUE(d.Read().isDefault());
    d.click(d.CmdCancel);
    EXPECT_TRUE(d.closed() && !d.accepted());
}

// Options that are not the defaults show in the title; the count is of what
// will be dealt; with a ratio the modes and their counts say nothing. A run
// then deals by the ratio into the named shares and Ctrl+Z takes it back.
TEST_F(OptionsDialogTest, TheWindowDealsAsTheOptionsSay) {
    platform.stateFolderPath = dir.u16("state");
    makeFiles(dir, "src", 6, ".txt");
    makeFiles(dir, "src/sub", 4, ".txt");
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree("src");
    useFolders("src", "out");
    EXPECT_EQ(form->LFiles.caption(), u"6");
    answerOptionsWith([](OptionsDialog& d) {
        d.click(d.ChSubfolders);
        d.click(d.ChRatio);
        d.TWeights.setText(u"4:1");
        d.TNames.setText(u"训练,测试");
        d.click(d.CmdOK);
    });
    form->ShowOptions();
    EXPECT_EQ(form->caption(), u"Quillmarsh［按比例 4:1，含子文件夹］");
    EXPECT_EQ(form->LFiles.caption(), u"10");
    EXPECT_FALSE(form->Opt1.enabled() || form->Opt2.enabled() || form->TParts.enabled() || form->TDivs.enabled());
    form->click(form->CmdDo);
    EXPECT_EQ(dir.list("out"), (std::vector<std::string>{"src_分发测试", "src_分发训练"}));
    platform.answers = {MsgResult::Ok};
    form->UndoLastRun();
    EXPECT_EQ(platform.boxes.back().prompt, u"撤销完毕！");
    EXPECT_TRUE(dir.list("out").empty());
    EXPECT_EQ(dir.tree("src"), before);
}

// Esc during a run asks; OK lets the file in hand finish and ends the run
// as stopped, with its record closed, and Ctrl+Z takes back what was dealt.
TEST_F(OptionsDialogTest, ARunStoppedByTheUserIsReportedAndTakenBack) {
    platform.stateFolderPath = dir.u16("state");
    platform.environment = {{u"QUILLMARSH_JOBS", u"1"}};  // one file in hand when the stop comes
    makeFiles(dir, "src", 8, ".txt");
    fs::create_directories(dir.native("out"));
    const std::vector<std::string> before = dir.tree("src");
    useFolders("src", "out");
    form->click(form->ChBackUp);
    int moved = 0;
    platform.afterTransfer = [&](const std::u16string&) {
        if (++moved == 3) form->RequestStop();
    };
    EXPECT_FALSE(form->RequestStop());  // nothing to stop: no question
    platform.answers = {MsgResult::Ok, MsgResult::Ok};  // the move, then the stop
    form->click(form->CmdDo);
    platform.afterTransfer = nullptr;
    EXPECT_NE(platform.boxes.back().prompt.find(u"分发已停止：5个文件未分发。"), std::u16string::npos)
        << utf8(platform.boxes.back().prompt);
    EXPECT_EQ(dir.list("src").size(), 5u);
    platform.answers = {MsgResult::Ok};
    form->UndoLastRun();
    EXPECT_EQ(dir.tree("src"), before);
}

}  // namespace
}  // namespace qm::test
