#include "core/stamps_seen.h"

#include <functional>

namespace velmora::engine {

namespace {

// The path's hash mixed: its high half picks the slot, its low half gives
// the bits kept above a position.
std::uint64_t MixedHash(std::string_view path) {
    return static_cast<std::uint64_t>(std::hash<std::string_view>{}(path)) * 0x9E3779B97F4A7C15ull;
}

}  // namespace

StampsSeen::StampsSeen(std::span<const ManifestFile> files, const InstalledFiles& disk)
    : files_(files), disk_(disk), seen_(files.size()) {
    // No position is all ones in its bits: none reads as kEmpty.
    while (positionBits_ < 32 && (std::uint64_t{1} << positionBits_) <= files.size()) ++positionBits_;
    slots_.assign(files.size() + files.size() / 2 + 16, kEmpty);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::uint32_t& slot = slots_[Probe(files[i].path)];
        if (slot != kEmpty) continue;  // a path listed twice is asked about once
        const std::uint64_t hash = MixedHash(files[i].path);
        const std::uint32_t tag = positionBits_ < 32 ? static_cast<std::uint32_t>(hash) >> positionBits_ : 0;
        slot = positionBits_ < 32 ? static_cast<std::uint32_t>(i) | tag << positionBits_ : static_cast<std::uint32_t>(i);
        if (const std::optional<FileStamp> stamp = disk.Stamp(files[i].path)) seen_[i].stamp = *stamp;
    }
}

std::size_t StampsSeen::Probe(std::string_view path) const {
    const std::uint64_t hash = MixedHash(path);
    const std::uint32_t positionMask =
        positionBits_ < 32 ? (std::uint32_t{1} << positionBits_) - 1 : std::numeric_limits<std::uint32_t>::max();
    const std::uint32_t tag = static_cast<std::uint32_t>(hash) & ~positionMask;
    for (std::size_t at = static_cast<std::size_t>(((hash >> 32) * slots_.size()) >> 32);;
         at = at + 1 == slots_.size() ? 0 : at + 1) {
        const std::uint32_t slot = slots_[at];
        if (slot == kEmpty) return at;
        if ((slot & ~positionMask) == tag && files_[slot & positionMask].path == path) return at;
    }
}

std::optional<std::uint32_t> StampsSeen::Find(std::string_view path) const {
    const std::uint32_t slot = slots_[Probe(path)];
    if (slot == kEmpty) return std::nullopt;
    return positionBits_ < 32 ? slot & ((std::uint32_t{1} << positionBits_) - 1) : slot;
}

std::optional<FileStamp> StampsSeen::Stamp(std::string_view path) const {
    const std::optional<std::uint32_t> found = Find(path);
    if (!found) return disk_.Stamp(path);
    if (!seen_[*found].Present()) return std::nullopt;
    return seen_[*found].stamp;
}

std::optional<std::uint64_t> StampsSeen::FileSize(std::string_view path) const {
    const std::optional<std::uint32_t> found = Find(path);
    if (!found) return disk_.FileSize(path);
    if (!seen_[*found].Present()) return std::nullopt;
    return seen_[*found].stamp.size;
}

}  // namespace velmora::engine
