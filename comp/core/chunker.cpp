#include "core/chunker.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>

namespace velmora::engine {
namespace {

// The gear table: one fixed random 64-bit value per byte value, made by
// splitmix64 from a fixed seed at compile time, so every build of the
// publishing tool has the same table. Part of the published format (see
// chunker.h): a different seed or generator moves every boundary.
constexpr std::array<std::uint64_t, 256> MakeGearTable() {
    std::array<std::uint64_t, 256> table{};
    std::uint64_t state = 0x56454c4d4f5241;  // "VELMORA"
    for (std::uint64_t& value : table) {
        state += 0x9e3779b97f4a7c15;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        value = z ^ (z >> 31);
    }
    return table;
}
constexpr std::array<std::uint64_t, 256> kGear = MakeGearTable();

// Each byte shifts the hash left by one, so a byte's value is gone from it
// 64 bytes later: the hash after a byte depends on the last 64 bytes alone,
// and a boundary is a property of the content there, wherever the chunk
// began. Hashing starts 64 bytes before the first possible boundary.
constexpr std::uint64_t kHashWindow = 64;

// A boundary falls where the hash's top bits are all zero. Normalized
// chunking: below kNormalSize the mask takes one bit more than the average
// asks for (a cut 1 in 128 KiB), at and above it one bit fewer (1 in
// 32 KiB), which gathers the lengths towards the average. One bit each
// way, not two: where the mask a position is tested with depends on the
// length of its chunk so far, a boundary of the old content found with the
// loose mask is found again after an edit only when the strict one also
// holds there, so a stricter strict mask makes the edges of an edit cost
// more chunks before the cutting falls back in step. The top bits are
// tested because they are the ones that all 64 bytes of the window reach.
constexpr std::uint64_t TopBits(int count) { return ~std::uint64_t{0} << (64 - count); }
constexpr int kAverageBits = std::countr_zero(kAverageChunkSize);
constexpr std::uint64_t kStrictMask = TopBits(kAverageBits + 1);
constexpr std::uint64_t kLooseMask = TopBits(kAverageBits - 1);

// Where the strict mask gives way to the loose one, below the average
// because the loose mask still adds 32 KiB on average beyond it; with the
// 16 KiB minimum the lengths on random bytes come to about 70 KiB.
constexpr std::uint64_t kNormalSize = 52 * 1024;

static_assert(std::has_single_bit(kAverageChunkSize));
static_assert(kHashWindow < kMinChunkSize && kMinChunkSize < kNormalSize && kNormalSize < kMaxCutChunkSize);

// Rolls `hash` over `bytes`. The count of bytes up to and including the
// first after which the hash has no bit of `mask` set, or nothing.
std::optional<std::size_t> FindBoundary(std::span<const std::uint8_t> bytes, std::uint64_t& hash,
                                        std::uint64_t mask) {
    std::uint64_t h = hash;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        h = (h << 1) + kGear[bytes[i]];
        if ((h & mask) == 0) {
            hash = h;
            return i + 1;
        }
    }
    hash = h;
    return std::nullopt;
}

void RollHash(std::span<const std::uint8_t> bytes, std::uint64_t& hash) {
    for (const std::uint8_t byte : bytes) hash = (hash << 1) + kGear[byte];
}

// What a chunk's bytes go through, stretch by stretch: skipped up to the
// hash window before the minimum, hashed without a test up to the byte that
// makes the chunk kMinChunkSize long, tested with the strict mask while the
// chunk is shorter than kNormalSize, then with the loose one up to the
// maximum, where the chunk ends whatever the hash.
enum class Rule { Skip, Hash, Strict, Loose };
struct Stretch {
    std::uint64_t last;  // the chunk length up to which the rule holds
    Rule rule;
};
constexpr Stretch StretchAfter(std::uint64_t length) {
    if (length < kMinChunkSize - kHashWindow) return {kMinChunkSize - kHashWindow, Rule::Skip};
    if (length < kMinChunkSize - 1) return {kMinChunkSize - 1, Rule::Hash};
    if (length < kNormalSize - 1) return {kNormalSize - 1, Rule::Strict};
    return {kMaxCutChunkSize, Rule::Loose};
}

}  // namespace

std::vector<std::uint64_t> ChunkCutter::Feed(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint64_t> completed;
    while (!bytes.empty()) {
        const Stretch stretch = StretchAfter(length_);
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), stretch.last - length_));
        const std::span<const std::uint8_t> piece = bytes.first(size);
        std::optional<std::size_t> boundary;
        switch (stretch.rule) {
        case Rule::Skip: break;
        case Rule::Hash: RollHash(piece, hash_); break;
        case Rule::Strict: boundary = FindBoundary(piece, hash_, kStrictMask); break;
        case Rule::Loose: boundary = FindBoundary(piece, hash_, kLooseMask); break;
        }
        const std::size_t used = boundary.value_or(size);
        length_ += used;
        bytes = bytes.subspan(used);
        if (boundary || length_ == kMaxCutChunkSize) {
            completed.push_back(length_);
            length_ = 0;  // the hash needs no reset: the next chunk rolls a whole window before its first test
        }
    }
    return completed;
}

std::optional<std::uint64_t> ChunkCutter::Finish() {
    if (length_ == 0) return std::nullopt;
    const std::uint64_t last = length_;
    length_ = 0;
    return last;
}

std::vector<std::uint64_t> ChunkLengths(std::span<const std::uint8_t> whole) {
    ChunkCutter cutter;
    std::vector<std::uint64_t> lengths = cutter.Feed(whole);
    if (const std::optional<std::uint64_t> last = cutter.Finish()) lengths.push_back(*last);
    return lengths;
}

}  // namespace velmora::engine
