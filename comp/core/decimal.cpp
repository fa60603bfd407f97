#include "core/decimal.h"

namespace velmora::engine {

std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t limit) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    // Up to 19 digits fit in 64 bits whatever they are: only the limit is
    // looked at, once. A manifest's numbers are all that short; a longer
    // text is checked for overflow digit by digit.
    constexpr std::size_t kDigitsThatFit = 19;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (text.size() > kDigitsThatFit && value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value > limit) return std::nullopt;
    return value;
}

}  // namespace velmora::engine
