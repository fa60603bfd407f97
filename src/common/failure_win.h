#pragma once
// Builds the program's failure from a Win32 error code or an HRESULT, with
// the system's own text for it.
#include <windows.h>

#include <string>

#include "common/failure.h"
#include "winsupport/system_text_win.h"

namespace velmora {

// `subject` names the file or program the failure concerns; the system's
// text mentions it where it has a place for it ("%1").
Failure FailureFromError(DWORD code, const std::wstring& subject = {});
Failure FailureFromLastError(const std::wstring& subject = {});
Failure FailureFromHresult(HRESULT hr);

}  // namespace velmora
