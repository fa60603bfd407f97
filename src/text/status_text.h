#pragma once
#include <cstdint>
#include <string>

namespace velmora {

// The status line for an engine status code; empty for codes without one.
std::wstring GetStatusText(std::int16_t status);

}  // namespace velmora
