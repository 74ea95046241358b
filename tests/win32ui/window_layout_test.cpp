// The window as the layout table describes it, at 96 dpi and at 150 %, and
// its state right after start-up.
#include "win32ui/window_fixture.h"

#include <commctrl.h>

#include "platform/win32/win32_text.h"
#include "text/utf.h"

namespace qm::test {
namespace {

RECT placeOf(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

struct Place {
    int left, top, width, height;
    bool operator==(const Place&) const = default;
};

Place placeOf(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

class WindowAtDensity : public WindowTest, public ::testing::WithParamInterface<UINT> {
protected:
    WindowAtDensity() : WindowTest(12, GetParam()) {}
};

TEST_P(WindowAtDensity, ControlsStandWhereTheTableSays) {
    const bool large = GetParam() == 144;
    RECT client;
    GetClientRect(window->hwnd(), &client);
    EXPECT_EQ(placeOf(client), large ? (Place{0, 0, 627, 216}) : (Place{0, 0, 418, 144}));
    struct Row {
        const Control& control;
        Place at96, at144;
    } rows[] = {
        {form->CmdIn, {0, 0, 105, 25}, {0, 0, 158, 38}},
        {form->Combo1, {177, 56, 73, 20}, {266, 84, 110, 30}},
        {form->TDivs, {176, 104, 41, 18}, {264, 156, 62, 27}},
        // Inside the frame: placed by the frame's corner.
        {form->ChBackUp, {272, 72, 89, 17}, {408, 108, 134, 26}},
        {form->Label5, {192, 128, 57, 17}, {288, 192, 86, 26}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(placeOf(placeOf(of(row.control))), large ? row.at144 : row.at96) << text::toUtf8(row.control.name());
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowAtDensity, ::testing::Values(96u, 144u));

TEST_F(WindowTest, StartsAsTheTableAndStartUpSay) {
    const LONG style = GetWindowLongW(window->hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(textOf(window->hwnd()), L"Quillmarsh");

    struct Row {
        const Control& control;
        const wchar_t* className;
        LONG buttonType;  // for buttons: BS_...
        const wchar_t* text;
    } rows[] = {
        {form->CmdDo, L"Button", BS_PUSHBUTTON, L"分  发"},
        {form->Opt2, L"Button", BS_RADIOBUTTON, L"平均分发"},
        {form->ChBackUp, L"Button", BS_CHECKBOX, L"移走原文件"},
        {form->Frame1, L"Button", BS_GROUPBOX, L"分发选项："},
        {form->TParts, L"Edit", 0, L"50"},
        {form->Combo1, L"ComboBox", 0, L"*.*"},
        {form->Label1, L"Static", 0, L"当前目录文件总数："},
        {form->LFiles, L"Static", 0, L"12"},
    };
    for (const Row& row : rows) {
        HWND control = of(row.control);
        wchar_t className[32];
        GetClassNameW(control, className, 32);
        EXPECT_STREQ(className, row.className);
        if (row.buttonType) {
            EXPECT_EQ(GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK, row.buttonType);
        }
        EXPECT_EQ(textOf(row.control.kind() == ControlKind::ComboBox ? fieldOf(row.control) : control), row.text);
    }
    // A screen reader names a field after the static text just above it.
    EXPECT_EQ(GetWindow(of(form->Combo1), GW_HWNDPREV), of(form->Label2));
    EXPECT_EQ(GetWindow(of(form->TParts), GW_HWNDPREV), of(form->Label3));
    EXPECT_EQ(GetWindow(of(form->TDivs), GW_HWNDPREV), of(form->Label4));
    EXPECT_EQ(textOf(of(form->LDir)), win32::wide(dir.u16("src")));
    EXPECT_FALSE(IsWindowEnabled(of(form->TParts)));
    EXPECT_EQ(SendMessageW(of(form->Opt2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetFocus(), of(form->CmdIn));

    // The count label grows to the right as its caption does.
    const RECT before = placeOf(of(form->LFiles));
    form->LFiles.setCaption(u"12345");
    const RECT after = placeOf(of(form->LFiles));
    EXPECT_EQ(after.left, before.left);
    EXPECT_GT(after.right - after.left, before.right - before.left);

    // The link: blue, and the pointing hand while the pointer is over it.
    HDC dc = CreateCompatibleDC(nullptr);
    SendMessageW(window->hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(of(form->Label5)));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    DeleteDC(dc);
    SendMessageW(of(form->Label5), WM_SETCURSOR, reinterpret_cast<WPARAM>(of(form->Label5)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SendMessageW(of(form->LDir), WM_SETCURSOR, reinterpret_cast<WPARAM>(of(form->LDir)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

// A path too wide for its label is drawn cut in the middle (the text stays
// whole for screen readers) and shown whole in the tooltip, above its hint.
TEST_F(WindowTest, APathTooWideIsCutAndShownWholeInTheTooltip) {
    HWND label = of(form->LDirOut);
    EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & SS_ELLIPSISMASK, SS_PATHELLIPSIS);
    auto tooltip = [&] {
        wchar_t text[1024] = L"";
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window->hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(label);
        tool.lpszText = text;
        SendMessageW(window->tooltips(), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text);
    };
    const std::u16string path = u"C:\\用户\\文档\\照片\\二〇二六年\\十二月\\第一周\\待分发的照片\\最后一层";
    form->LDirOut.setCaption(path);
    EXPECT_EQ(textOf(label), win32::wide(path));
    EXPECT_EQ(tooltip(), win32::wide(path) + L"\n支持文件夹拖放");
    form->LDirOut.setCaption(u"D:\\");
    EXPECT_EQ(tooltip(), L"支持文件夹拖放");
}

}  // namespace
}  // namespace qm::test
