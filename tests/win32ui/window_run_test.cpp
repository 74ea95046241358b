// A whole run started from the keyboard, drops from the file manager, the
// folder dialogs and the program itself.
#include "win32ui/window_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/win32/window_picture.h"

#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm::test {
namespace {

// Shift+Tab back to the dispatch button, Enter on it: a move run, confirmed.
TEST_F(WindowTest, EnterOnTheFocusedButtonRunsTheDispatch) {
    click(of(form->ChBackUp));
    EXPECT_EQ(SendMessageW(of(form->ChBackUp), BM_GETCHECK, 0, 0), BST_CHECKED);
    for (int i = 0; i < 3; ++i) pressKey(GetFocus(), VK_TAB, true);  // Option2's group, TDivs, Opt2's group
    ASSERT_EQ(GetFocus(), of(form->CmdDo));

    platform.answers = {IDOK};
    pressKey(GetFocus(), VK_RETURN);

    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[0].text, L"在分发的同时移走原文件？");
    EXPECT_EQ(platform.boxes[0].type, 0x141u);  // OK and Cancel, information, Cancel the default
    EXPECT_EQ(platform.boxes[1].text, L"分发完毕！");
    EXPECT_EQ(platform.boxes[1].type, 0x40u);
    EXPECT_EQ(platform.boxes[1].title, L"消息");

    // During the run: disabled, the progress in the title.
    ASSERT_FALSE(platform.pumps.empty());
    for (const auto& pump : platform.pumps) {
        EXPECT_FALSE(pump.enabled);
        EXPECT_TRUE(pump.title.starts_with(L"Quillmarsh  正在随机分发，请稍候...")) << text::toUtf8(win32::fromWide(pump.title));
    }
    // After it: as before, but the moved files are gone and the move choice cleared.
    EXPECT_TRUE(IsWindowEnabled(window->hwnd()));
    EXPECT_EQ(textOf(window->hwnd()), L"Quillmarsh");
    EXPECT_EQ(textOf(of(form->LFiles)), L"0");
    EXPECT_FALSE(IsWindowEnabled(of(form->CmdDo)));
    EXPECT_EQ(SendMessageW(of(form->ChBackUp), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(dir.list("src").empty());
    std::size_t dealt = 0;
    for (const std::string& share : dir.list("out")) dealt += dir.list("out/" + share).size();
    EXPECT_EQ(dealt, 12u);
    // The target folder opens behind the report, without the focus.
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_EQ(platform.started[0].commandLine, win32::explorerCommandLine(dir.u16("out")));
    EXPECT_EQ(platform.started[0].showCommand, SW_SHOWNOACTIVATE);
}

// Ctrl+Z and the system menu's item take the last run back after asking;
// with nothing to take back, the item is greyed and Ctrl+Z beeps.
TEST_F(WindowTest, TheLastRunIsTakenBackByCtrlZOrTheSystemMenu) {
    platform.stateFolderPath = dir.u16("state");
    form->keepRecords = true;
    const HMENU menu = GetSystemMenu(window->hwnd(), FALSE);
    auto itemEnabled = [&] {
        SendMessageW(window->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, TRUE));
        return (GetMenuState(menu, win32ui::MainWindow::kUndoCommand, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    auto dealt = [&] {
        std::size_t n = 0;
        for (const std::string& share : dir.list("out")) n += dir.list("out/" + share).size();
        return n;
    };
    EXPECT_FALSE(itemEnabled());
    pressKey(GetFocus(), 'Z', false, true);
    EXPECT_EQ(platform.beeps, 1);
    EXPECT_TRUE(platform.boxes.empty());

    const struct {
        const char* how;
        bool run;  // a run first
        int answer;
        std::size_t dealt;
    } cases[] = {{"Ctrl+Z, cancelled", true, IDCANCEL, 12}, {"Ctrl+Z", false, IDOK, 0}, {"menu", true, IDOK, 0}};
    for (const auto& c : cases) {
        if (c.run) click(of(form->CmdDo));
        EXPECT_TRUE(itemEnabled()) << c.how;
        platform.boxes.clear();
        platform.answers = {c.answer};
        if (c.how[0] == 'C') {
            pressKey(GetFocus(), 'Z', false, true);
        } else {
            SendMessageW(window->hwnd(), WM_SYSCOMMAND, win32ui::MainWindow::kUndoCommand, 0);
        }
        ASSERT_FALSE(platform.boxes.empty()) << c.how;
        EXPECT_TRUE(platform.boxes[0].text.starts_with(L"撤销上次分发？\r\n")) << c.how;
        EXPECT_EQ(platform.boxes[0].type, 0x141u) << c.how;  // OK and Cancel, information, Cancel the default
        EXPECT_EQ(platform.boxes.back().text, c.answer == IDOK ? L"撤销完毕！" : platform.boxes[0].text) << c.how;
        EXPECT_EQ(dealt(), c.dealt) << c.how;
        EXPECT_EQ(dir.list("src").size(), 12u) << c.how;
        EXPECT_TRUE(IsWindowEnabled(window->hwnd())) << c.how;
    }
    EXPECT_FALSE(itemEnabled());
}

// The question and the report as the system shows them, for the
// documentation: scripts/screenshot-windows.sh runs this on a display and
// names the folder in QM_SCREENSHOT_DIR; elsewhere it has nothing to do.
TEST_F(WindowTest, UndoBoxesForTheDocumentation) {
    const char* shots = std::getenv("QM_SCREENSHOT_DIR");
    if (!shots) GTEST_SKIP() << "no QM_SCREENSHOT_DIR";
    platform.stateFolderPath = dir.u16("state");
    form->keepRecords = true;
    click(of(form->CmdDo));
    platform.realBoxes = true;
    // Each box is taken as it is drawn, and answered OK.
    std::thread shooter([&] {
        for (const char* name : {"undo-question-windows.bmp", "undo-report-windows.bmp"}) {
            HWND box = nullptr;
            for (int i = 0; i < 400 && !box; ++i, Sleep(25)) box = FindWindowW(L"#32770", L"消息");
            if (!box) return;
            Sleep(500);
            win32ui::saveWindowPicture(box, win32::wide(text::fromUtf8(std::string(shots) + "\\" + name)));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 400 && IsWindow(box); ++i) Sleep(25);
        }
    });
    pressKey(GetFocus(), 'Z', false, true);
    shooter.join();
    ASSERT_EQ(platform.boxes.size(), 3u);  // the run's report, the question, the undo's report
    EXPECT_EQ(platform.boxes[2].text, L"撤销完毕！");
}

TEST_F(WindowTest, DropsTakeTheFirstFolderInTheirOrder) {
    makeFiles(dir, "one", 3);
    makeFiles(dir, "two", 4);
    dir.write("photo.jpg", "x");
    dropFiles(of(form->LDir), {win32::wide(dir.u16("photo.jpg")), win32::wide(dir.u16("one")),
                               win32::wide(dir.u16("two"))});
    EXPECT_EQ(textOf(of(form->LDir)), win32::wide(dir.u16("one")));
    EXPECT_EQ(textOf(of(form->LFiles)), L"3");
    EXPECT_EQ(platform.beeps, 0);

    dropFiles(of(form->LDirOut), {win32::wide(dir.u16("photo.jpg"))});
    EXPECT_EQ(textOf(of(form->LDirOut)), win32::wide(dir.u16("out")));
    EXPECT_EQ(platform.beeps, 1);
}

TEST_F(WindowTest, FolderDialogsAreOwnedByTheWindowInTheirStyles) {
    std::filesystem::create_directories(dir.path() / "pick");
    platform.choices = {win32::wide(dir.u16("pick"))};
    click(of(form->CmdIn));
    // Alt+O: the target folder's button, whose dialog is cancelled.
    SendMessageW(GetFocus(), WM_SYSCHAR, L'o', 1 << 29);

    ASSERT_EQ(platform.dialogs.size(), 2u);
    const std::wstring driveRoot = win32::wide(dir.u16().substr(0, 3));
    for (const auto& dialog : platform.dialogs) {
        EXPECT_EQ(dialog.owner, window->hwnd());
        EXPECT_EQ(dialog.selected, driveRoot);
        EXPECT_TRUE(dialog.title.starts_with(L"选择输出目录"));
    }
    EXPECT_EQ(platform.dialogs[0].flags, UINT{BIF_RETURNONLYFSDIRS});
    EXPECT_EQ(platform.dialogs[1].flags, UINT{BIF_NEWDIALOGSTYLE});
    EXPECT_EQ(textOf(of(form->LDir)), win32::wide(dir.u16("pick")) + L"\\");
    EXPECT_EQ(textOf(of(form->LDirOut)), win32::wide(dir.u16("out")));
}

// The shell's own dialog, in both styles, confirmed as soon as it shows: it
// belongs to the window and answers with a folder's path. (Which folder is
// the callback's doing, checked above; Wine's dialog applies the callback's
// selection late, and on a loaded machine at times not at all.)
HWND confirmedDialogOwner = nullptr;

LRESULT CALLBACK confirmDialog(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND shown = reinterpret_cast<HWND>(wParam);
        wchar_t className[16]{};
        GetClassNameW(shown, className, 16);
        if (std::wstring(className) == L"#32770") {
            confirmedDialogOwner = GetWindow(shown, GW_OWNER);
            PostMessageW(shown, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowTest, ShellFolderDialogBelongsToTheWindow) {
    platform.shellDialog = true;
    HHOOK hook = SetWindowsHookExW(WH_CBT, confirmDialog, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    for (bool newStyle : {false, true}) {
        confirmedDialogOwner = nullptr;
        const std::u16string chosen = platform.browseForFolder(u"选择输出目录：", dir.u16() + u"\\", newStyle);
        EXPECT_EQ(confirmedDialogOwner, window->hwnd()) << "new style: " << newStyle;
        EXPECT_TRUE(!chosen.empty() && platform.folderExists(chosen)) << "new style: " << newStyle;
    }
    UnhookWindowsHookEx(hook);
}

// The program itself: up with its own folder as the source, and gone with
// status 0 once its window is closed.
TEST(WindowProgram, StartsWithItsFolderAndEndsWhenClosed) {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder = std::wstring(self, n).substr(0, std::wstring(self, n).rfind(L'\\'));
    std::wstring commandLine = L"\"" + folder + L"\\quillmarsh.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    HWND main = nullptr;
    for (int i = 0; i < 200 && !main; ++i) {
        Sleep(50);
        for (HWND w = FindWindowW(L"QuillmarshForm1", nullptr); w; w = FindWindowExW(nullptr, w, L"QuillmarshForm1", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process.dwProcessId && IsWindowVisible(w)) main = w;
        }
    }
    ASSERT_NE(main, nullptr);
    bool showsFolder = false;
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (windowText(child) == folder) showsFolder = true;
    }
    EXPECT_TRUE(showsFolder);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 500), static_cast<DWORD>(WAIT_TIMEOUT));  // it stays up

    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace qm::test
