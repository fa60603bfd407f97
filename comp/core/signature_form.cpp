#include "core/signature_form.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace velmora::engine {
namespace {

using Scalar = std::array<std::uint8_t, 32>;  // big-endian

// The order n of the P-256 group, and (n - 1) / 2 (n is odd).
constexpr Scalar kOrder = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF,
                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xBC, 0xE6, 0xFA, 0xAD, 0xA7, 0x17,
                           0x9E, 0x84, 0xF3, 0xB9, 0xCA, 0xC2, 0xFC, 0x63, 0x25, 0x51};
constexpr Scalar kHalfOrder = {0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00, 0x7F, 0xFF, 0xFF,
                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDE, 0x73, 0x7D, 0x56, 0xD3, 0x8B,
                               0xCF, 0x42, 0x79, 0xDC, 0xE5, 0x61, 0x7E, 0x31, 0x92, 0xA8};

Scalar SOf(const ManifestSignature& signature) {
    Scalar s;
    std::copy(signature.begin() + 32, signature.end(), s.begin());
    return s;
}

// Equal-width big-endian numbers compare as their bytes do.
bool Below(const Scalar& a, const Scalar& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

bool HasLowS(const ManifestSignature& signature) { return !Below(kHalfOrder, SOf(signature)); }

ManifestSignature WithLowS(const ManifestSignature& signature) {
    const Scalar s = SOf(signature);
    if (!Below(kHalfOrder, s) || !Below(s, kOrder)) return signature;
    ManifestSignature low = signature;
    // n - s, byte by byte from the least significant, carrying the borrow.
    int borrow = 0;
    for (std::size_t i = 32; i-- > 0;) {
        int difference = kOrder[i] - s[i] - borrow;
        borrow = difference < 0 ? 1 : 0;
        low[32 + i] = static_cast<std::uint8_t>(difference + 256 * borrow);
    }
    return low;
}

}  // namespace velmora::engine
