// The options dialog as the Windows window shows it, opened by its shortcut
// or the system menu and driven through its real controls inside its own
// message loop; and a run stopped by Esc or a close, and taken back.
#include "win32ui/window_fixture.h"

#include <cstdlib>
#include <functional>

#include "app/win32/window_picture.h"
#include "platform/win32/win32_text.h"
#include "text/utf.h"
#include "window/options_dialog.h"
#include "window/options_layout.h"

namespace qm::test {
namespace {

// The dialog's loop runs inside the key or the menu command that opened it;
// what the user does there comes from a thread timer, which that loop
// dispatches once the dialog is up.
std::function<void()> whileOpen;

void CALLBACK runWhileOpen(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    const std::function<void()> script = std::move(whileOpen);
    whileOpen = nullptr;
    if (script) script();
}

class OptionsWindowTest : public WindowTest {
protected:
    enum class Open { Shortcut, Menu };

    // Opens the dialog and runs `script` in it; the script closes it (a
    // dialog it leaves open is cancelled, so that no test hangs).
    void withDialog(const std::function<void(win32ui::FormWindow&, OptionsDialog&)>& script,
                    Open how = Open::Shortcut) {
        whileOpen = [this, &script] {
            win32ui::FormWindow* shown = window->dialog();
            ASSERT_NE(shown, nullptr);
            script(*shown, static_cast<OptionsDialog&>(shown->form()));
            if (window->dialog()) static_cast<OptionsDialog&>(window->dialog()->form()).cancel();
        };
        const UINT_PTR timer = SetTimer(nullptr, 0, 1, runWhileOpen);
        if (how == Open::Shortcut) {
            pressKey(GetFocus(), 'O', true, true);
        } else {
            SendMessageW(window->hwnd(), WM_SYSCOMMAND, win32ui::MainWindow::kOptionsCommand, 0);
        }
        KillTimer(nullptr, timer);
        EXPECT_EQ(window->dialog(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    }

    std::size_t dealtFiles() const {
        std::size_t n = 0;
        for (const std::string& share : dir.list("out")) n += dir.list("out/" + share).size();
        return n;
    }
};

std::wstring faceOf(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::wstring(font.lfFaceName) + L"/" + std::to_wstring(font.lfHeight);
}

// Both ways in show the table's dialog over the disabled window, in the
// window's font; Esc and the close box take it down unchanged.
TEST_F(OptionsWindowTest, OpensWithTheFieldsOfItsTable) {
    const struct {
        Open how;
        UINT closeWith;  // WM_KEYDOWN (Esc) or WM_CLOSE
    } cases[] = {{Open::Shortcut, WM_KEYDOWN}, {Open::Menu, WM_CLOSE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.closeWith == WM_CLOSE ? "menu, close box" : "Ctrl+Shift+O, Esc");
        bool ran = false;
        withDialog(
            [&](win32ui::FormWindow& shown, OptionsDialog& d) {
                ran = true;
                EXPECT_EQ(textOf(shown.hwnd()), L"分发选项");
                EXPECT_EQ(GetWindow(shown.hwnd(), GW_OWNER), window->hwnd());
                EXPECT_FALSE(IsWindowEnabled(window->hwnd()));
                EXPECT_EQ(GetFocus(), shown.windowOf(d.ChSubfolders));
                for (const ControlSpec& row : optionsLayout()) {
                    SCOPED_TRACE(text::toUtf8(row.name));
                    HWND control = shown.windowOf(*d.control(row.name));
                    ASSERT_NE(control, nullptr);
                    EXPECT_EQ(GetParent(control), shown.hwnd());
                    EXPECT_EQ(textOf(control), win32::wide(row.caption));
                    EXPECT_EQ(IsWindowEnabled(control) != FALSE, row.enabled);
                    EXPECT_EQ(faceOf(control), faceOf(of(form->CmdDo)));
                    RECT at;
                    GetWindowRect(control, &at);
                    MapWindowPoints(nullptr, shown.hwnd(), reinterpret_cast<POINT*>(&at), 2);
                    const RECT want = win32ui::pixelRectOf(row, optionsLayout(), shown.dpi());
                    EXPECT_EQ(at.left, want.left);
                    EXPECT_EQ(at.top, want.top);
                }
                click(shown.windowOf(d.ChRatio));  // not kept: the dialog is cancelled
                if (c.closeWith == WM_CLOSE) {
                    SendMessageW(shown.hwnd(), WM_CLOSE, 0, 0);
                } else {
                    pressKey(GetFocus(), VK_ESCAPE);
                }
                EXPECT_TRUE(d.closed() && !d.accepted());
            },
            c.how);
        EXPECT_TRUE(ran);
        EXPECT_EQ(textOf(window->hwnd()), L"Quillmarsh");
        EXPECT_FALSE(form->options.ratio);
    }
}

// The rules of what goes with what, through clicks, access keys and Tab.
TEST_F(OptionsWindowTest, ChoicesEnableAndDisableTheRealControls) {
    withDialog([&](win32ui::FormWindow& shown, OptionsDialog& d) {
        auto enabled = [&](const Control& c) { return IsWindowEnabled(shown.windowOf(c)) != FALSE; };
        // Tab passes over the disabled 按子文件夹分别分发.
        pressKey(GetFocus(), VK_TAB);
        EXPECT_EQ(GetFocus(), shown.windowOf(d.ChRatio));
        const struct {
            const char* step;
            std::function<void()> act;
            const Control& control;
            bool enabled;
        } steps[] = {
            {"subfolders", [&] { click(shown.windowOf(d.ChSubfolders)); }, d.ChByFolder, true},
            {"Alt+R: ratio", [&] { SendMessageW(GetFocus(), WM_SYSCHAR, L'r', 1 << 29); }, d.TWeights, true},
            {"ratio: names", [] {}, d.TNames, true},
            {"a list", [&] { click(shown.windowOf(d.ChLists)); }, d.OptHard, false},
            {"no list", [&] { click(shown.windowOf(d.ChLists)); }, d.OptHard, true},
            {"a hard link", [&] { click(shown.windowOf(d.OptHard)); }, d.ChLists, false},
            {"defaults", [&] { click(shown.windowOf(d.CmdDefaults)); }, d.TWeights, false},
        };
        for (const auto& s : steps) {
            s.act();
            EXPECT_EQ(enabled(s.control), s.enabled) << s.step;
        }
        EXPECT_EQ(SendMessageW(shown.windowOf(d.OptPlain), BM_GETCHECK, 0, 0), BST_CHECKED);
        click(shown.windowOf(d.CmdCancel));
    });
}

// 确定 with a bad field warns and stays; put right, the window shows the
// options in its title and count, and deals by them.
TEST_F(OptionsWindowTest, BadFieldsWarnThenTheWindowDealsByRatio) {
    makeFiles(dir, "src/sub", 3);
    form->LDir.setCaption(dir.u16("src"));
    platform.stateFolderPath = dir.u16("state");
    withDialog([&](win32ui::FormWindow& shown, OptionsDialog& d) {
        click(shown.windowOf(d.ChSubfolders));
        click(shown.windowOf(d.ChRatio));
        HWND weights = shown.windowOf(d.TWeights);
        click(weights);
        SendMessageW(weights, EM_SETSEL, 0, -1);
        typeChars(weights, L"\b8:x:1");
        click(shown.windowOf(d.CmdOK));
        ASSERT_EQ(platform.boxes.size(), 1u);
        EXPECT_EQ(platform.boxes[0].title, L"警告");
        EXPECT_EQ(platform.boxes[0].owner, window->hwnd());
        EXPECT_EQ(window->dialog(), &shown);
        EXPECT_EQ(textOf(weights), L"8:x:1");
        SendMessageW(weights, EM_SETSEL, 0, -1);
        typeChars(weights, L"\b8:1:1");
        click(shown.windowOf(d.TNames));
        typeChars(shown.windowOf(d.TNames), L"张三,李四,王五");
        click(shown.windowOf(d.CmdOK));
        EXPECT_TRUE(d.accepted());
    });
    EXPECT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(textOf(window->hwnd()), L"Quillmarsh［按比例 8:1:1，含子文件夹］");
    EXPECT_EQ(textOf(of(form->LFiles)), L"15");
    EXPECT_FALSE(IsWindowEnabled(of(form->TDivs)) || IsWindowEnabled(of(form->Opt1)));

    click(of(form->CmdDo));
    const std::vector<std::string> shares = dir.list("out");
    ASSERT_EQ(shares.size(), 3u);
    std::size_t dealt = 0;
    for (const char* name : {"张三", "李四", "王五"}) {
        bool found = false;
        for (const std::string& share : shares) {
            if (share.find(name) == std::string::npos) continue;
            found = true;
            for (const std::string& line : dir.tree("out/" + share)) dealt += line.back() != '/';
        }
        EXPECT_TRUE(found) << name;
    }
    EXPECT_EQ(dealt, 15u);
}

// Esc or a close during a run asks 停止分发？; OK stops it after the file in
// hand (and a close then closes the window), Cancel lets it go on. Nothing
// else typed meanwhile reaches the window, and Ctrl+Z takes back the
// stopped run.
TEST_F(OptionsWindowTest, ARunIsStoppedByEscOrACloseAndTakenBack) {
    SetEnvironmentVariableW(L"QUILLMARSH_JOBS", L"1");
    platform.stateFolderPath = dir.u16("state");
    const struct {
        const char* name;
        UINT message;
        WPARAM key;
        int answer;
        bool stopped, closes;
    } cases[] = {
        {"Esc, OK", WM_KEYDOWN, VK_ESCAPE, IDOK, true, false},
        {"Esc, Cancel", WM_KEYDOWN, VK_ESCAPE, IDCANCEL, false, false},
        {"close, OK", WM_CLOSE, 0, IDOK, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.boxes.clear();
        // An Enter on the dispatch button, then the stop, both waiting when
        // the run starts.
        PostMessageW(of(form->CmdDo), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(window->hwnd(), c.message, c.key, 1);
        platform.answers = {c.answer};
        click(of(form->CmdDo));
        MSG left;
        EXPECT_FALSE(PeekMessageW(&left, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
        ASSERT_EQ(platform.boxes.size(), 2u);  // the question, the report
        EXPECT_EQ(platform.boxes[0].text, L"停止分发？");
        EXPECT_EQ(platform.boxes[0].type, 0x141u);  // OK and Cancel, information, Cancel the default
        EXPECT_EQ(platform.boxes[1].text.find(L"分发已停止：") != std::wstring::npos, c.stopped);
        EXPECT_EQ(dealtFiles() < 12, c.stopped);
        HWND main = window->hwnd();
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
        EXPECT_EQ(IsWindow(main) == FALSE, c.closes);
        if (c.closes) break;
        platform.answers = {IDOK};
        pressKey(GetFocus(), 'Z', false, true);
        EXPECT_EQ(platform.boxes.back().text, L"撤销完毕！");
        EXPECT_EQ(dealtFiles(), 0u);
    }
    SetEnvironmentVariableW(L"QUILLMARSH_JOBS", nullptr);
}

// The dialog as the system draws it, for the documentation:
// scripts/screenshot-windows.sh runs this on a display and names the
// folder in QM_SCREENSHOT_DIR; elsewhere it has nothing to do.
TEST_F(OptionsWindowTest, DialogForTheDocumentation) {
    const char* shots = std::getenv("QM_SCREENSHOT_DIR");
    if (!shots) GTEST_SKIP() << "no QM_SCREENSHOT_DIR";
    bool saved = false;
    withDialog([&](win32ui::FormWindow& shown, OptionsDialog&) {
        // The focus and the access keys marked, as after a keyboard move.
        pressKey(GetFocus(), VK_TAB);
        for (int i = 0; i < 20; ++i, Sleep(25)) {
            for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
        }
        saved = win32ui::saveWindowPicture(
            shown.hwnd(), win32::wide(text::fromUtf8(std::string(shots) + "\\options-dialog-windows.bmp")));
        pressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace qm::test
