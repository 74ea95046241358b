// The resources both programs carry are marked Simplified Chinese, as their
// strings are: Explorer's Details tab, and anything that asks for the version
// record in the user's language, find them under 0x0804.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_system.h"
#include "platform/win32/win32_text.h"

namespace qm::test {
namespace {

class ProgramResources : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(ProgramResources, AreSimplifiedChinese) {
    const std::wstring path = win32::wide(Win32System().programFolder() + u"\\" + GetParam());
    HMODULE program = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(program, nullptr) << GetLastError();
    const WORD chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    EXPECT_NE(FindResourceExW(program, RT_VERSION, MAKEINTRESOURCEW(1), chinese), nullptr);
    EXPECT_NE(FindResourceExW(program, RT_GROUP_ICON, MAKEINTRESOURCEW(1), chinese), nullptr);
    FreeLibrary(program);
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramResources,
                         ::testing::Values(u"quillmarsh.exe", u"quillmarsh-batch.exe"));

}  // namespace
}  // namespace qm::test
