#pragma once
// Builds the program's failure from a Win32 error code or an HRESULT, with
// the system's own text for it.
#include <windows.h>

#include <string>

#include "common/failure.h"

namespace velmora {

std::wstring SystemErrorText(DWORD code);
Failure FailureFromError(DWORD code);
Failure FailureFromLastError();
Failure FailureFromHresult(HRESULT hr);

}  // namespace velmora
