#include "core/stamps_seen.h"

#include <functional>

namespace velmora::engine {

StampsSeen::StampsSeen(std::span<const ManifestFile> files, const InstalledFiles& disk)
    : files_(files), disk_(disk), seen_(files.size()) {
    // At most half full: a probe finds its path or an empty slot in a step
    // or two.
    std::size_t slots = 16;
    while (slots < files.size() * 2) slots *= 2;
    slots_.assign(slots, kEmpty);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::uint32_t& slot = slots_[Probe(files[i].path)];
        if (slot != kEmpty) continue;  // a path listed twice is asked about once
        slot = static_cast<std::uint32_t>(i);
        if (const std::optional<FileStamp> stamp = disk.Stamp(files[i].path)) seen_[i].stamp = *stamp;
    }
}

std::size_t StampsSeen::Probe(std::string_view path) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = std::hash<std::string_view>{}(path) & mask;; at = (at + 1) & mask) {
        const std::uint32_t slot = slots_[at];
        if (slot == kEmpty || files_[slot].path == path) return at;
    }
}

std::optional<std::uint32_t> StampsSeen::Find(std::string_view path) const {
    const std::uint32_t slot = slots_[Probe(path)];
    if (slot == kEmpty) return std::nullopt;
    return slot;
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
