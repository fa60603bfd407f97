#include "core/chunk_plan.h"

#include <algorithm>
#include <string>

#include "core/digest_index.h"

namespace velmora::engine {

std::vector<NeededChunk> ListNeededChunks(const Manifest& remote, const std::vector<ContentToBuild>& contents,
                                          const Manifest* local, const InstalledFiles& disk) {
    // Room for every chunk line of the contents at once: most chunks are
    // distinct, and a list that doubles as it grows would hold half as
    // much again, twice over while it moves.
    std::size_t lines = 0;
    for (const ContentToBuild& content : contents) lines += remote.files[content.source].chunks.size();
    std::vector<NeededChunk> needed;
    needed.reserve(lines);
    const auto neededDigest = [&](std::uint32_t i) -> const Sha256Digest& { return needed[i].stored->sha256; };
    DigestIndex index(neededDigest, lines);
    for (std::size_t c = 0; c < contents.size(); ++c) {
        std::uint64_t offset = 0;
        for (const ManifestChunk& chunk : remote.files[contents[c].source].chunks) {
            const auto next = static_cast<std::uint32_t>(needed.size());
            const std::uint32_t slot = index.FindOrAdd(chunk.sha256, next);
            if (slot == next) needed.push_back({&chunk, {}, std::nullopt});
            needed[slot].targets.push_back({c, offset});
            offset += chunk.size;
        }
    }
    if (!local) return needed;
    for (std::size_t f = 0; f < local->files.size(); ++f) {
        const ManifestFile& file = local->files[f];
        if (file.chunks.empty() || disk.FileSize(file.path) != file.size) continue;
        std::uint64_t offset = 0;
        for (const ManifestChunk& chunk : file.chunks) {
            const std::optional<std::uint32_t> found = index.Find(chunk.sha256);
            if (found && !needed[*found].installed) needed[*found].installed = InstalledChunk{f, offset};
            offset += chunk.size;
        }
    }
    return needed;
}

std::vector<PackRange> JoinIntoRanges(const std::vector<NeededChunk>& needed, const std::vector<std::size_t>& wanted) {
    std::vector<std::size_t> order = wanted;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const ManifestChunk& x = *needed[a].stored;
        const ManifestChunk& y = *needed[b].stored;
        return x.pack != y.pack ? x.pack < y.pack : x.offset < y.offset;
    });
    std::vector<PackRange> ranges;
    for (const std::size_t i : order) {
        const ManifestChunk& chunk = *needed[i].stored;
        const std::uint64_t end = chunk.offset + chunk.storedSize;
        if (!ranges.empty()) {
            PackRange& last = ranges.back();
            const bool joins = last.pack == chunk.pack && chunk.offset >= last.end &&
                               chunk.offset - last.end <= kMaxRangeGap && end - last.begin <= kMaxRangeBytes;
            if (joins) {
                last.end = end;
                last.chunks.push_back(i);
                continue;
            }
        }
        ranges.push_back({chunk.pack, chunk.offset, end, {i}});
    }
    return ranges;
}

std::uint64_t RangeBytes(const std::vector<PackRange>& ranges) {
    std::uint64_t total = 0;
    for (const PackRange& range : ranges) total += range.end - range.begin;
    return total;
}

Result<std::uint64_t> BytesAroundRanges(const std::vector<PackRange>& ranges, const std::vector<std::size_t>& served) {
    std::uint64_t position = 0;  // of the body, read from the pack's start
    std::uint64_t around = 0;
    for (const std::size_t index : served) {
        const PackRange& range = ranges[index];
        if (range.begin < position || range.end < range.begin)
            return InvalidFormat("pack " + std::to_string(range.pack) + ": a range at " +
                                 std::to_string(range.begin) + " begins before the end of the one before it, " +
                                 std::to_string(position));
        around += range.begin - position;
        position = range.end;
    }
    return around;
}

}  // namespace velmora::engine
