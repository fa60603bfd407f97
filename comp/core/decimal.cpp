#include "core/decimal.h"

namespace velmora::engine {

std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::uint64_t limit) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace velmora::engine
