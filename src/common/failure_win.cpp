#include "common/failure_win.h"

namespace velmora {

Failure FailureFromError(DWORD code) { return Failure(code, SystemErrorText(code)); }

Failure FailureFromLastError() { return FailureFromError(::GetLastError()); }

Failure FailureFromHresult(HRESULT hr) {
    // An HRESULT that wraps a Win32 code is described by that code's text.
    const DWORD code = static_cast<DWORD>(hr);
    return Failure(code, SystemErrorText(code));
}

}  // namespace velmora
