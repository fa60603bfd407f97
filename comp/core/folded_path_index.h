#pragma once
// Finds items of a list by path, compared as Windows compares names,
// without a folded copy of each path: an open-addressing table of 32-bit
// positions into the list, each with its folded path's hash. Eight bytes a
// slot, where a hash set of folded strings takes about a hundred a path;
// a large game lists some hundred thousand. The list is not held: each
// call gives `pathOf(position)`, the path of the item at `position`, so
// the index moves with its owner.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/case_fold.h"

namespace velmora::engine {

class FoldedPathIndex {
public:
    // Twice as many slots as `expected` items, not rounded up: a probe
    // starts at the hash scaled to the table's size, so that any size
    // serves, and a large list takes no more than the half empty table
    // needs.
    explicit FoldedPathIndex(std::size_t expected = 0) { slots_.assign(std::max<std::size_t>(16, expected * 2), Slot{}); }

    // The position of the item with `path`, or `position` itself after it
    // is recorded as that item's when there is none yet.
    template <typename PathOf>
    std::uint32_t FindOrAdd(std::string_view path, std::uint32_t position, const PathOf& pathOf) {
        const std::uint32_t hash = FoldedHash(path);
        std::size_t at = Probe(path, hash, pathOf);
        if (slots_[at].position != kEmpty) return slots_[at].position;
        // Grown only to add: a table sized for its items takes them all,
        // however often they are looked up again.
        if ((count_ + 1) * 2 > slots_.size()) {
            Grow();
            at = Probe(path, hash, pathOf);
        }
        slots_[at] = {position, hash};
        ++count_;
        return position;
    }

    template <typename PathOf>
    std::optional<std::uint32_t> Find(std::string_view path, const PathOf& pathOf) const {
        const Slot& slot = slots_[Probe(path, FoldedHash(path), pathOf)];
        if (slot.position == kEmpty) return std::nullopt;
        return slot.position;
    }

private:
    static constexpr std::uint32_t kEmpty = 0xffffffffu;
    struct Slot {
        std::uint32_t position = kEmpty;
        std::uint32_t hash = 0;
    };

    // Where the probe for `hash` starts: the hash taken as a fraction of
    // the table.
    std::size_t Home(std::uint32_t hash) const {
        return static_cast<std::size_t>((std::uint64_t{hash} * slots_.size()) >> 32);
    }
    std::size_t Next(std::size_t at) const { return at + 1 == slots_.size() ? 0 : at + 1; }

    template <typename PathOf>
    std::size_t Probe(std::string_view path, std::uint32_t hash, const PathOf& pathOf) const {
        for (std::size_t at = Home(hash);; at = Next(at)) {
            const Slot& slot = slots_[at];
            if (slot.position == kEmpty || (slot.hash == hash && EqualIgnoringCase(pathOf(slot.position), path)))
                return at;
        }
    }

    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.size() * 2, Slot{});
        for (const Slot& slot : old) {
            if (slot.position == kEmpty) continue;
            std::size_t at = Home(slot.hash);
            while (slots_[at].position != kEmpty) at = Next(at);
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace velmora::engine
