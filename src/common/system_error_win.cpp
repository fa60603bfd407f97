#include "common/system_error_win.h"

namespace velmora {

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) text.assign(buffer, length);
    ::LocalFree(buffer);
    // The system ends its texts with a line break, which has no place in a
    // one-line report.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

Failure FailureFromError(DWORD code) { return Failure(code, SystemErrorText(code)); }

Failure FailureFromLastError() { return FailureFromError(::GetLastError()); }

Failure FailureFromHresult(HRESULT hr) {
    // An HRESULT that wraps a Win32 code is described by that code's text.
    const DWORD code = static_cast<DWORD>(hr);
    return Failure(code, SystemErrorText(code));
}

}  // namespace velmora
