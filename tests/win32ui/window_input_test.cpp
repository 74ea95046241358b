// Keys and clicks, as the system delivers them to the controls, reach the
// model, and the model's answer reaches the controls: keystroke rules and
// their beeps, pasting, Validate keeping the focus, the dispatch mode.
#include "win32ui/window_fixture.h"

#include <cstring>

#include "platform/win32/win32_text.h"

namespace qm::test {
namespace {

TEST_F(WindowTest, KeystrokesGoThroughKeyPress) {
    struct Row {
        const char* name;
        EditControl& control;
        bool clearFirst;  // select all, Backspace
        std::wstring chars, expected;
        int beeps;
    } rows[] = {
        {"filter: punctuation refused", form->Combo1, true, L"ab?p-ng", L"*.png", 2},
        {"shares: typed at the caret", form->TDivs, false, L"8", L"58", 0},
    };
    for (const Row& row : rows) {
        HWND field = fieldOf(row.control);
        // A starting text to type over (or after): the box's own "5".
        row.control.setText(row.control.kind() == ControlKind::ComboBox ? u"*.*" : u"5");
        if (row.clearFirst) SendMessageW(field, EM_SETSEL, 0, -1);
        platform.beeps = 0;
        typeChars(field, row.clearFirst ? L"\b" + row.chars : row.chars);
        EXPECT_EQ(win32::wide(row.control.text()), row.expected) << row.name;
        EXPECT_EQ(textOf(field), row.expected) << row.name;
        EXPECT_EQ(platform.beeps, row.beeps) << row.name;
    }
}

TEST_F(WindowTest, PastingKeepsTheLengthLimit) {
    HWND field = fieldOf(form->TDivs);
    const std::wstring clip = L"123456789\r\nsecond line";
    ASSERT_TRUE(OpenClipboard(window->hwnd()));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (clip.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), clip.c_str(), (clip.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();

    SendMessageW(field, EM_SETSEL, 0, -1);
    typeChars(field, L"\x16");  // Ctrl+V
    EXPECT_EQ(form->TDivs.text(), u"123456");
    EXPECT_EQ(textOf(field), L"123456");
}

// An empty filter may not be left: the click on the import button shows
// the message, puts "*." back, keeps the focus in the box and never
// reaches the button.
TEST_F(WindowTest, ValidateKeepsTheFocusAndSwallowsTheClick) {
    HWND field = fieldOf(form->Combo1);
    click(field);
    ASSERT_EQ(GetFocus(), field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    typeChars(field, L"\b");
    ASSERT_EQ(textOf(field), L"");

    click(of(form->CmdIn));
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].title, L"错误——非法文件类型");
    EXPECT_EQ(platform.boxes[0].type, UINT{MB_OK | MB_ICONSTOP});
    EXPECT_EQ(platform.boxes[0].owner, window->hwnd());
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(textOf(field), L"*.");
    EXPECT_TRUE(platform.dialogs.empty());  // the button was never pressed
}

TEST_F(WindowTest, OptionButtonsSwitchTheMode) {
    click(of(form->Opt1));
    EXPECT_EQ(SendMessageW(of(form->Opt1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(of(form->Opt2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(of(form->TParts)));
    EXPECT_FALSE(IsWindowEnabled(of(form->TDivs)));
    // The mode's field takes the focus, its number wholly selected.
    EXPECT_EQ(textOf(of(form->TParts)), L"12");
    EXPECT_EQ(GetFocus(), of(form->TParts));
    DWORD start = 1, end = 0;
    SendMessageW(of(form->TParts), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 2u);

    // Tab stops at the group's selected button; the arrow keys step through
    // the group, selecting as they go.
    pressKey(GetFocus(), VK_TAB);
    pressKey(GetFocus(), VK_TAB);
    ASSERT_EQ(GetFocus(), of(form->Opt1));
    pressKey(GetFocus(), VK_DOWN);
    EXPECT_EQ(SendMessageW(of(form->Opt2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(of(form->Opt1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(of(form->TParts)));
    EXPECT_EQ(GetFocus(), of(form->TDivs));
}

// The message loop queues what a key types as it translates the key, before
// the key arrives; a key the model took types nothing.
TEST_F(WindowTest, AKeyTheModelTakesTypesNothing) {
    HWND field = fieldOf(form->TDivs);
    click(field);
    const std::u16string before = form->TDivs.text();
    PostMessageW(field, WM_CHAR, L'7', 1);  // as if Tab typed it
    pressKey(field, VK_TAB);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(form->TDivs.text(), before);
    EXPECT_EQ(form->focused(), &form->ChBackUp);
}

}  // namespace
}  // namespace qm::test
