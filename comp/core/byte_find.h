#pragma once
// Finds one byte in a text eight bytes at a time. Manifests and the record
// of placed files are split on every line break and blank of some hundred
// megabytes; the C library's memchr that MinGW programs call (msvcrt, and
// Wine's) looks at one byte at a time, behind a call into another module.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velmora::engine {

// The position of the first `byte` in `text` at or after `from`, or npos:
// what text.find(byte, from) gives.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from = 0) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(byte);
    std::size_t at = from;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        // A byte of `word` equal to `byte` is a zero byte of `x`, which
        // this exact test for a zero byte finds.
        const std::uint64_t x = word ^ pattern;
        if (((x - kOnes) & ~x & kHighs) != 0) break;
    }
    for (; at < text.size(); ++at)
        if (text[at] == byte) return at;
    return std::string_view::npos;
}

}  // namespace velmora::engine
