#pragma once
// UTC times in the manifest's one form, YYYY-MM-DDTHH:MM:SSZ, as seconds
// since 1970-01-01T00:00:00Z. Years 1970 to 9999; no leap seconds (:60), no
// fractions, no other zone.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

std::optional<std::int64_t> ParseUtcTime(std::string_view text);

// The text for a time that ParseUtcTime accepts the text of (years 1970 to
// 9999); times outside that range are clamped to it.
std::string FormatUtcTime(std::int64_t secondsSince1970);

}  // namespace velmora::engine
