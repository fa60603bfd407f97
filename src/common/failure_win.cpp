#include "common/failure_win.h"

namespace velmora {

Failure FailureFromError(DWORD code, const std::wstring& subject) {
    return Failure(code, SystemErrorText(code, std::span(&subject, 1)));
}

Failure FailureFromLastError(const std::wstring& subject) { return FailureFromError(::GetLastError(), subject); }

Failure FailureFromHresult(HRESULT hr) {
    // An HRESULT that wraps a Win32 code is described by that code's text.
    const DWORD code = static_cast<DWORD>(hr);
    return Failure(code, SystemErrorText(code));
}

}  // namespace velmora
