#pragma once
// The system's own texts: the description of an error code, and the paths
// of loaded modules.
#include <windows.h>

#include <span>
#include <string>

namespace velmora {

// The system's description of a Win32 error code or an HRESULT, on one
// line; empty when the system has none. Its inserts ("%1") are filled from
// `inserts` (the file or program the failure concerns) or removed.
std::wstring SystemErrorText(DWORD code, std::span<const std::wstring> inserts = {});

// The full path of a loaded module (nullptr: the running program), however
// long; empty when the system cannot tell.
std::wstring ModulePath(HMODULE module);
// The folder that holds it (winsupport/parent_folder.h: a drive's root
// keeps its backslash).
std::wstring ModuleFolder(HMODULE module);

}  // namespace velmora
