#include "core/chunk_plan.h"

#include <algorithm>
#include <string>

#include "core/digest_index.h"

namespace velmora::engine {

ChunkTargets NeededChunks::Targets(std::size_t i) const {
    const Chunk& chunk = chunks_[i];
    const std::size_t moreEnd = i + 1 < chunks_.size() ? chunks_[i + 1].moreTargets : more_.size();
    return ChunkTargets({chunk.firstContent, chunk.firstOffset}, more_.data() + chunk.moreTargets,
                        moreEnd - chunk.moreTargets);
}

std::optional<InstalledChunk> NeededChunks::Installed(std::size_t i) const {
    const Chunk& chunk = chunks_[i];
    if (chunk.installedFile == kNotInstalled) return std::nullopt;
    return InstalledChunk{chunk.installedFile, chunk.installedOffset};
}

std::size_t NeededChunks::Add(std::size_t stored, ChunkTarget first) {
    Chunk chunk;
    chunk.stored = static_cast<std::uint32_t>(stored);
    chunk.firstContent = static_cast<std::uint32_t>(first.content);
    chunk.firstOffset = first.offset;
    chunks_.push_back(chunk);
    return chunks_.size() - 1;
}

void NeededChunks::AddTarget(std::size_t i, ChunkTarget target) {
    later_.push_back({static_cast<std::uint32_t>(i), target});
}

void NeededChunks::SetInstalled(std::size_t i, InstalledChunk copy) {
    chunks_[i].installedFile = static_cast<std::uint32_t>(copy.file);
    chunks_[i].installedOffset = copy.offset;
}

void NeededChunks::Seal() {
    // Stable: each chunk's places stay in the order they were added.
    std::stable_sort(later_.begin(), later_.end(),
                     [](const LaterTarget& a, const LaterTarget& b) { return a.chunk < b.chunk; });
    more_.clear();
    more_.reserve(later_.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        chunks_[i].moreTargets = static_cast<std::uint32_t>(more_.size());
        for (; at < later_.size() && later_[at].chunk == i; ++at) more_.push_back(later_[at].target);
    }
    later_ = {};
}

NeededChunks ListNeededChunks(const Manifest& remote, const std::vector<ContentToBuild>& contents,
                              const Manifest* local, const InstalledFiles& disk) {
    // Room for every chunk line of the contents at once: most chunks are
    // distinct, and a list that doubles as it grows would hold half as
    // much again, twice over while it moves.
    std::size_t lines = 0;
    for (const ContentToBuild& content : contents) lines += remote.files[content.source].chunkCount;
    NeededChunks needed(remote.chunks);
    needed.Reserve(lines);
    const auto neededDigest = [&](std::uint32_t i) -> const Sha256Digest& { return needed.Stored(i).sha256; };
    DigestIndex index(neededDigest, lines);
    for (std::size_t c = 0; c < contents.size(); ++c) {
        std::uint64_t offset = 0;
        const ManifestFile& file = remote.files[contents[c].source];
        for (std::size_t at = file.firstChunk; at < file.firstChunk + file.chunkCount; ++at) {
            const ManifestChunk& chunk = remote.chunks[at];
            const auto next = static_cast<std::uint32_t>(needed.size());
            const std::uint32_t slot = index.FindOrAdd(chunk.sha256, next);
            if (slot == next)
                needed.Add(at, {c, offset});
            else
                needed.AddTarget(slot, {c, offset});
            offset += chunk.size;
        }
    }
    needed.Seal();
    if (!local) return needed;
    // A chunk line of a local file is found among the needed chunks by the
    // first bytes of its digest, all a local manifest may keep of it: the
    // copy is checked against the whole digest before it serves.
    for (std::size_t f = 0; f < local->files.size(); ++f) {
        const ManifestFile& file = local->files[f];
        if (file.chunkCount == 0 || disk.FileSize(file.path) != file.size) continue;
        std::uint64_t offset = 0;
        const auto take = [&](const ChunkKey& key) {
            const std::optional<std::uint32_t> found = index.FindByStart(key.digestStart);
            if (found && !needed.Installed(*found)) needed.SetInstalled(*found, {f, offset});
            offset += key.size;
        };
        if (local->HoldsChunks())
            for (const ManifestChunk& chunk : local->ChunksOf(file)) take(KeyOf(chunk));
        else
            for (const ChunkKey& key : local->ChunkKeysOf(file)) take(key);
    }
    return needed;
}

std::vector<PackRange> JoinIntoRanges(const NeededChunks& needed, std::vector<std::size_t> wanted) {
    // Sorted where they are: a large game's list is some megabytes.
    std::sort(wanted.begin(), wanted.end(), [&](std::size_t a, std::size_t b) {
        const ManifestChunk& x = needed.Stored(a);
        const ManifestChunk& y = needed.Stored(b);
        return x.Pack() != y.Pack() ? x.Pack() < y.Pack() : x.Offset() < y.Offset();
    });
    std::vector<PackRange> ranges;
    for (const std::size_t i : wanted) {
        const ManifestChunk& chunk = needed.Stored(i);
        const std::uint64_t end = chunk.Offset() + chunk.storedSize;
        if (!ranges.empty()) {
            PackRange& last = ranges.back();
            const bool joins = last.pack == chunk.Pack() && chunk.Offset() >= last.end &&
                               chunk.Offset() - last.end <= kMaxRangeGap && end - last.begin <= kMaxRangeBytes;
            if (joins) {
                last.end = end;
                last.chunks.push_back(i);
                continue;
            }
        }
        ranges.push_back({chunk.Pack(), chunk.Offset(), end, {i}});
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
