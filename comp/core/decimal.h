#pragma once
// Unsigned decimal numbers as the manifest writes them: digits only, no
// sign, no leading zero (except "0" itself), no blanks.
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::engine {

// The number, or nothing when the text is not in that form or exceeds
// `limit`.
std::optional<std::uint64_t> ParseDecimal(std::string_view text,
                                          std::uint64_t limit = UINT64_MAX);

}  // namespace velmora::engine
