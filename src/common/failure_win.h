#pragma once
// Builds the program's failure from a Win32 error code or an HRESULT, with
// the system's own text for it.
#include <windows.h>

#include "common/failure.h"
#include "winsupport/system_text_win.h"

namespace velmora {

Failure FailureFromError(DWORD code);
Failure FailureFromLastError();
Failure FailureFromHresult(HRESULT hr);

}  // namespace velmora
