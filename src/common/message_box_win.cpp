#include "common/message_box_win.h"

#include <windows.h>

#include <new>
#include <string>

#include "common/failure_win.h"

namespace velmora {

void ShowMessage(std::wstring_view text, std::wstring_view caption, HWND owner) {
    const std::wstring terminatedText(text);
    const std::wstring terminatedCaption(caption);
    ::MessageBoxW(owner, terminatedText.c_str(), terminatedCaption.c_str(), MB_OK);
}

void EndProgramWithFailure(const Failure& failure, HWND owner) {
    ShowMessage(DescribeFailure(failure), kProgramTitle, owner);
    ::ExitProcess(1);
}

Failure FailureOfCurrentException() {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return FailureFromHresult(E_OUTOFMEMORY);
    } catch (...) {
        Failure failure = FailureFromHresult(E_UNEXPECTED);
        // Not every system has a text for this code (Wine has none), and the
        // report must say something.
        if (failure.Description().empty()) return Failure(failure.Number(), L"Unexpected failure");
        return failure;
    }
}

}  // namespace velmora
