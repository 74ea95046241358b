#include "win32ui/window_fixture.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <filesystem>

#include "platform/win32/win32_text.h"

namespace qm::test {

namespace {

// What a program with this window sets up once: COM for the folder dialog,
// the common controls.
class WindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override { OleUninitialize(); }
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

// Stands in for the folder dialog's window: takes the message with which
// the dialog is told what to select, as the shell's dialog would.
std::wstring selectedByCallback;

LRESULT CALLBACK dialogStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == BFFM_SETSELECTIONW && wParam) selectedByCallback = reinterpret_cast<const wchar_t*>(lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void ScriptedPlatform::keepResponsive() {
    const HWND main = window();
    pumps.push_back({IsWindowEnabled(main) != FALSE, windowText(main)});
    WindowUser::keepResponsive();
}

int ScriptedPlatform::showMessageBox(HWND owner, const std::wstring& text, const std::wstring& title, UINT type) {
    boxes.push_back({owner, text, title, type});
    if (realBoxes) return WindowUser::showMessageBox(owner, text, title, type);
    if (answers.empty()) return (type & MB_DEFBUTTON2) ? IDCANCEL : IDOK;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

PIDLIST_ABSOLUTE ScriptedPlatform::showFolderDialog(BROWSEINFOW& info) {
    if (shellDialog) return WindowUser::showFolderDialog(info);
    WNDCLASSW standIn{};
    standIn.lpfnWndProc = dialogStandIn;
    standIn.hInstance = GetModuleHandleW(nullptr);
    standIn.lpszClassName = L"QmFolderDialogStandIn";
    RegisterClassW(&standIn);
    HWND dialog = CreateWindowW(standIn.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                standIn.hInstance, nullptr);
    selectedByCallback.clear();
    if (info.lpfn) info.lpfn(dialog, BFFM_INITIALIZED, 0, info.lParam);
    DestroyWindow(dialog);
    dialogs.push_back({info.hwndOwner, info.lpszTitle ? info.lpszTitle : L"", info.ulFlags, selectedByCallback});
    if (choices.empty()) return nullptr;
    const std::wstring chosen = choices.front();
    choices.pop_front();
    PIDLIST_ABSOLUTE item = nullptr;
    if (FAILED(SHParseDisplayName(chosen.c_str(), nullptr, &item, 0, nullptr))) return nullptr;
    return item;
}

void ScriptedPlatform::startProgram(const std::wstring&, const std::wstring& commandLine, int showCommand) {
    started.push_back({commandLine, showCommand});
}

WindowTest::WindowTest(int programFiles, UINT dpi) {
    std::filesystem::create_directories(dir.path() / "src");
    std::filesystem::create_directories(dir.path() / "out");
    makeFiles(dir, "src", programFiles);
    platform.programFolderPath = dir.u16("src");
    platform.logPaths = {dir.u16("分发失败记录.txt")};
    form = std::make_unique<Form1>(platform);
    window = std::make_unique<win32ui::MainWindow>(*form, dpi);
    platform.setWindow(window->hwnd());
    form->load();
    // Start-up points the target at the program's drive root; a test never
    // writes outside its own folder.
    form->LDirOut.setCaption(dir.u16("out"));
    ShowWindow(window->hwnd(), SW_SHOWNORMAL);
    SetForegroundWindow(window->hwnd());
    UpdateWindow(window->hwnd());
}

WindowTest::~WindowTest() {
    window.reset();
    // Nothing of one test's window may reach the next.
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void WindowTest::typeChars(HWND target, const std::wstring& chars) const {
    for (wchar_t c : chars) SendMessageW(target, WM_CHAR, c, 1);
}

void WindowTest::pressKey(HWND target, WPARAM key, bool shift, bool control) const {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    const BYTE shiftBefore = keys[VK_SHIFT], controlBefore = keys[VK_CONTROL];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(target, WM_KEYDOWN, key, 1);
    keys[VK_SHIFT] = shiftBefore;
    keys[VK_CONTROL] = controlBefore;
    SetKeyboardState(keys);
}

void WindowTest::click(HWND target) const {
    const LPARAM at = MAKELPARAM(3, 3);
    SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(target, WM_LBUTTONUP, 0, at);
}

// A drop as the shell hands it over: a DROPFILES header and the wide paths,
// each ended by a NUL, the list by one more.
void WindowTest::dropFiles(HWND target, const std::vector<std::wstring>& paths) const {
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // the receiver frees it
}

}  // namespace qm::test
