#pragma once
#include <string>

namespace velmora {

// The folder that holds the running program's executable, without a
// trailing backslash. Raises Failure when the system cannot tell.
std::wstring ApplicationFolder();

}  // namespace velmora
