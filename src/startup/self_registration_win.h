#pragma once
// The registration of a control library on Windows: the routine of
// self_registration.h with the system's operations.
#include <string>
#include <string_view>

namespace velmora {

// Runs "DllRegisterServer" (empty command) or "DllUnregisterServer" ("U" or
// "u") of the library at the full path on a worker thread and waits up to
// ten seconds for it, with the busy pointer over the program meanwhile.
// Failures are shown in message boxes captioned with the program's title;
// the call always returns normally.
void SelfRegisterLibrary(const std::wstring& path, std::wstring_view command);

}  // namespace velmora
