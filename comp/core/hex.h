#pragma once
// Lowercase hexadecimal, the only form the manifest uses, so that a manifest
// has one spelling and writing what was read gives the same bytes.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora::engine {

std::string ToHex(std::span<const std::uint8_t> bytes);

// Fills `out` from exactly 2 * out.size() lowercase hex digits. False for
// any other length or character; `out` may then be partly filled.
bool FromHex(std::string_view text, std::span<std::uint8_t> out);

}  // namespace velmora::engine
