#pragma once
// The conversion of the program's wide texts into the 8-bit texts in the
// system code page that library loading and the engine take.
#include <string>
#include <string_view>

namespace velmora {

std::string ToSystemCodePage(std::wstring_view text);

}  // namespace velmora
