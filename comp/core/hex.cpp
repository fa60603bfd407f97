#include "core/hex.h"

#include <array>

namespace velmora::engine {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

// The value of each byte as a lowercase hex digit, or 0xff: a large
// manifest holds some two million digests, so a lookup beats branches.
constexpr std::array<std::uint8_t, 256> kDigitValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(0xff);
    for (int i = 0; i < 16; ++i) values[static_cast<unsigned char>(kDigits[i])] = static_cast<std::uint8_t>(i);
    return values;
}();

}  // namespace

std::string ToHex(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

bool FromHex(std::string_view text, std::span<std::uint8_t> out) {
    if (text.size() != out.size() * 2) return false;
    std::uint8_t invalid = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint8_t high = kDigitValues[static_cast<unsigned char>(text[2 * i])];
        const std::uint8_t low = kDigitValues[static_cast<unsigned char>(text[2 * i + 1])];
        invalid |= (high | low) & 0xf0;
        out[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return invalid == 0;
}

}  // namespace velmora::engine
