#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "winsupport/message_inserts.h"

namespace velmora {
namespace {

TEST(FillInserts, FillsOrRemovesEveryInsertAndReadsTheEscapes) {
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> inserts;
        const wchar_t* filled;
    } cases[] = {
        {L"Bad EXE format for %1.", {L"velmora.exe"}, L"Bad EXE format for velmora.exe."},
        {L"Bad EXE format for %1.", {}, L"Bad EXE format for."},
        {L"%1 is not a valid Win32 application.", {}, L"is not a valid Win32 application."},
        {L"%1 is not a valid Win32 application.", {L""}, L"is not a valid Win32 application."},
        {L"%1 is not a valid Win32 application.", {L"C:\\g\\velmora.exe"},
         L"C:\\g\\velmora.exe is not a valid Win32 application."},
        {L"Copy %1 to %2 failed.", {L"a"}, L"Copy a to failed."},
        {L"Copy %1!s! to %12.", {L"a", L"b"}, L"Copy a to."},
        {L"100%% done%. %nNext%0 never shown", {}, L"100% done. \nNext"},
        {L"A lone % and a trailing %", {}, L"A lone % and a trailing %"},
        {L"50%x", {}, L"50%x"},
        {L"No inserts at all.", {L"x"}, L"No inserts at all."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillInserts(c.text, c.inserts), c.filled) << ::testing::PrintToString(std::wstring(c.text));
}

}  // namespace
}  // namespace velmora
