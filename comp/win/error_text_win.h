#pragma once
// The reasons the engine keeps, in English, for whoever debugs a failure.
// (Its texts cross the system's edges through winsupport/text_win.h.)
#include <windows.h>

#include <cstdint>
#include <string>

#include "winsupport/text_win.h"

namespace velmora::engine {

// "0xC000A002".
std::string HexCode(std::uint32_t code);
// "error 5: Access denied." for the calling thread's last error.
std::string LastErrorText();
std::string ErrorText(DWORD error);

}  // namespace velmora::engine
