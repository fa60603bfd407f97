#include "common/message_box_win.h"

#include <windows.h>

#include "common/program_title.h"

namespace velmora {

void ShowMessage(const std::wstring& text, const wchar_t* caption) {
    ::MessageBoxW(nullptr, text.c_str(), caption ? caption : kProgramTitle, MB_OK);
}

void EndProgramWithFailure(const Failure& failure) {
    ShowMessage(DescribeFailure(failure));
    ::ExitProcess(1);
}

}  // namespace velmora
