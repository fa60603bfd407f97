#pragma once
#include <windows.h>

#include <string>

namespace velmora {

// Starts the command line as a process of its own, with its window shown as
// `showMode` says, and does not wait for it; nothing of it is kept. A bare
// program name is looked for in this program's own folder first, then in
// the working folder. Raises Failure when the process cannot be started.
void StartProcess(const std::wstring& commandLine, WORD showMode);

}  // namespace velmora
