#pragma once
#include <string>

namespace velmora {

// The folder that holds the running program's executable, without a
// closing backslash. Raises Failure when the system cannot tell.
std::wstring ApplicationFolder();

// Makes the folder the process's working folder; raises Failure when it
// does not exist or cannot be entered.
void SetWorkingFolder(const std::wstring& folder);

}  // namespace velmora
