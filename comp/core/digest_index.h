#pragma once
// Finds items of a list by their SHA-256 without a copy of each digest: an
// open-addressing table of 32-bit positions into the list, which holds the
// digests. Four to eight bytes an item, where a hash map node takes about
// sixty; the plans of a large game look up close to a million chunks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "core/digest_hash.h"
#include "core/manifest.h"

namespace velmora::engine {

// `DigestOf(position)` gives the digest of the list's item at `position`.
template <typename DigestOf>
class DigestIndex {
public:
    explicit DigestIndex(DigestOf digestOf, std::size_t expected = 0) : digestOf_(digestOf) {
        Resize(SlotsFor(expected));
    }

    // The position of the item with `digest`, or `position` itself after it
    // is recorded as that item's when there is none yet.
    std::uint32_t FindOrAdd(const Sha256Digest& digest, std::uint32_t position) {
        if ((count_ + 1) * 2 > slots_.size()) Resize(slots_.size() * 2);
        std::uint32_t& slot = slots_[Probe(digest)];
        if (slot == kEmpty) {
            slot = position;
            ++count_;
        }
        return slot;
    }

    // The position of the item with `digest`, or nothing.
    std::optional<std::uint32_t> Find(const Sha256Digest& digest) const {
        const std::uint32_t slot = slots_[Probe(digest)];
        if (slot == kEmpty) return std::nullopt;
        return slot;
    }

private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

    // At most half full: a probe finds its item or an empty slot in a step
    // or two. Any number of slots serves (the hash is scaled to it, not
    // masked), so the table is not rounded up to a power of two.
    static std::size_t SlotsFor(std::size_t items) { return std::max<std::size_t>(16, items * 2); }

    // Where the probe for `digest` starts: the digest's first bytes mixed,
    // then scaled to the table. Scaled as they are, digests that differ in
    // their low bytes alone (as some generated lists' do) would all start
    // at the table's first slots.
    std::size_t Home(const Sha256Digest& digest) const {
        const std::uint64_t mixed = static_cast<std::uint64_t>(DigestHash{}(digest)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(((mixed >> 32) * slots_.size()) >> 32);
    }
    std::size_t Next(std::size_t at) const { return at + 1 == slots_.size() ? 0 : at + 1; }

    // The slot that holds `digest`'s item, or the empty one where it goes.
    std::size_t Probe(const Sha256Digest& digest) const {
        for (std::size_t at = Home(digest);; at = Next(at)) {
            const std::uint32_t slot = slots_[at];
            if (slot == kEmpty || digestOf_(slot) == digest) return at;
        }
    }

    void Resize(std::size_t slots) {
        std::vector<std::uint32_t> old = std::move(slots_);
        slots_.assign(slots, kEmpty);
        for (const std::uint32_t position : old)
            if (position != kEmpty) slots_[Probe(digestOf_(position))] = position;
    }

    DigestOf digestOf_;
    std::vector<std::uint32_t> slots_;
    std::size_t count_ = 0;
};

}  // namespace velmora::engine
