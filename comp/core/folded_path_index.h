#pragma once
// Finds items of a list by path, compared as Windows compares names,
// without a folded copy of each path: an open-addressing table of 32-bit
// positions into the list, each with its folded path's hash. Eight bytes a
// slot, where a hash set of folded strings takes about a hundred a path;
// a large game lists some hundred thousand. The list is not held: each
// call gives `pathOf(position)`, the path of the item at `position`, so
// the index moves with its owner.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "core/case_fold.h"

namespace velmora::engine {

class FoldedPathIndex {
public:
    explicit FoldedPathIndex(std::size_t expected = 0) {
        std::size_t slots = 16;
        while (slots < expected * 2) slots *= 2;
        slots_.assign(slots, Slot{});
    }

    // The position of the item with `path`, or `position` itself after it
    // is recorded as that item's when there is none yet.
    template <typename PathOf>
    std::uint32_t FindOrAdd(std::string_view path, std::uint32_t position, const PathOf& pathOf) {
        if ((count_ + 1) * 2 > slots_.size()) Grow();
        const std::uint32_t hash = FoldedHash(path);
        Slot& slot = slots_[Probe(path, hash, pathOf)];
        if (slot.position == kEmpty) {
            slot = {position, hash};
            ++count_;
        }
        return slot.position;
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

    template <typename PathOf>
    std::size_t Probe(std::string_view path, std::uint32_t hash, const PathOf& pathOf) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.position == kEmpty || (slot.hash == hash && EqualIgnoringCase(pathOf(slot.position), path)))
                return at;
        }
    }

    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.size() * 2, Slot{});
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& slot : old) {
            if (slot.position == kEmpty) continue;
            std::size_t at = slot.hash & mask;
            while (slots_[at].position != kEmpty) at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace velmora::engine
