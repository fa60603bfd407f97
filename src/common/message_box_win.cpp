#include "common/message_box_win.h"

#include <windows.h>

#include <string>

namespace velmora {

void ShowMessage(std::wstring_view text, std::wstring_view caption) {
    const std::wstring terminatedText(text);
    const std::wstring terminatedCaption(caption);
    ::MessageBoxW(nullptr, terminatedText.c_str(), terminatedCaption.c_str(), MB_OK);
}

void EndProgramWithFailure(const Failure& failure) {
    ShowMessage(DescribeFailure(failure));
    ::ExitProcess(1);
}

}  // namespace velmora
