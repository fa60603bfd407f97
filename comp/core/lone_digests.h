#pragma once
// Tells which digests of a list no other digest of it can equal, in about
// a byte per digest: each is counted in one of some four buckets per digest
// by a hash of its bytes, and a digest alone in its bucket has no twin in
// the list. A list of mostly distinct digests then needs an index by
// digest (DigestIndex) for the few that share a bucket only.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/manifest.h"

namespace velmora::engine {

class LoneDigests {
public:
    // Room for about `digests` digests, each given to Count once.
    explicit LoneDigests(std::size_t digests) {
        while ((std::size_t{1} << bits_) < digests * 4 && bits_ < 31) ++bits_;
        const std::size_t words = ((std::size_t{1} << bits_) + 63) / 64;
        once_.assign(words, 0);
        again_.assign(words, 0);
    }

    // Counts one digest of the list.
    void Count(const Sha256Digest& digest) {
        const std::size_t bucket = BucketOf(digest);
        const std::uint64_t bit = std::uint64_t{1} << (bucket % 64);
        std::uint64_t& once = once_[bucket / 64];
        std::uint64_t& again = again_[bucket / 64];
        if (!(once & bit)) {
            once |= bit;
        } else if (!(again & bit)) {
            again |= bit;
            shared_ += 2;  // the digest that came first and this one
        } else {
            ++shared_;
        }
    }

    // Whether no other digest counted can equal `digest` (one that was
    // counted itself).
    bool Lone(const Sha256Digest& digest) const {
        const std::size_t bucket = BucketOf(digest);
        return !(again_[bucket / 64] & (std::uint64_t{1} << (bucket % 64)));
    }

    // How many of the digests counted are not lone.
    std::size_t SharedCount() const noexcept { return shared_; }

private:
    // From all of the digest's bytes, mixed, so that the bucket does not
    // follow the first bytes, from which a DigestIndex finds its slot.
    std::size_t BucketOf(const Sha256Digest& digest) const {
        std::uint64_t words[4];
        std::memcpy(words, digest.data(), sizeof words);
        const std::uint64_t mixed = (words[0] ^ words[1] ^ words[2] ^ words[3]) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(mixed >> (64 - bits_));  // below 2^31
    }

    unsigned bits_ = 6;
    std::vector<std::uint64_t> once_;   // a bit per bucket: a digest counted in it
    std::vector<std::uint64_t> again_;  // a bit per bucket: two or more counted in it
    std::size_t shared_ = 0;
};
static_assert(sizeof(Sha256Digest) == 32);

}  // namespace velmora::engine
