#pragma once
// Where the chunks of the contents a run builds come from: a copy already
// in the install (a chunk of the old version of any file the local manifest
// lists), or the server's packs, fetched with as few range requests as
// makes sense. Portable: the Windows side reads, fetches and writes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/update_plan.h"

namespace velmora::engine {

// Where a chunk's content goes: `offset` bytes into content number
// `content` of the plan.
struct ChunkTarget {
    std::size_t content = 0;
    std::uint64_t offset = 0;
};

// A copy of a chunk in the install: `offset` bytes into a file the local
// manifest lists (index into its files). Read and checked before use: the
// file may have changed since.
struct InstalledChunk {
    std::size_t file = 0;
    std::uint64_t offset = 0;
};

// The places one chunk goes, in list order: the first is held with the
// chunk, the rest (a chunk that several contents share) in a list beside.
class ChunkTargets {
public:
    ChunkTargets(ChunkTarget first, const ChunkTarget* more, std::size_t moreCount)
        : first_(first), more_(more), moreCount_(moreCount) {}
    std::size_t size() const noexcept { return 1 + moreCount_; }
    ChunkTarget operator[](std::size_t t) const { return t == 0 ? first_ : more_[t - 1]; }

private:
    ChunkTarget first_;
    const ChunkTarget* more_;
    std::size_t moreCount_;
};

// Each distinct chunk the contents of a run need, with every place it goes
// and a copy in the install where an old file holds it. A large game needs
// close to a million: each takes 32 bytes and no allocation of its own;
// most go to one place only, and the few other places of the chunks that
// several contents share lie in one list.
class NeededChunks {
public:
    // `stored`: the list the chunks are numbered in, the remote manifest's
    // chunks; it must outlive this.
    explicit NeededChunks(std::span<const ManifestChunk> stored = {}) : stored_(stored) {}

    std::size_t size() const noexcept { return chunks_.size(); }
    bool empty() const noexcept { return chunks_.empty(); }

    // Where the server keeps chunk `i`: its first listing.
    const ManifestChunk& Stored(std::size_t i) const { return stored_[chunks_[i].stored]; }
    ChunkTargets Targets(std::size_t i) const;
    std::optional<InstalledChunk> Installed(std::size_t i) const;
    // Every place of every chunk numbered from 0 to TargetCount() - 1:
    // the number of place `t` of chunk `i`, for lists kept beside.
    std::size_t TargetCount() const noexcept { return chunks_.size() + more_.size(); }
    std::size_t TargetNumber(std::size_t i, std::size_t t) const {
        return t == 0 ? i : chunks_.size() + chunks_[i].moreTargets + t - 1;
    }

    // Adds chunk `stored` (an index into the stored list) going to `first`;
    // the places added later with AddTarget
    // and the copy with SetInstalled. Every AddTarget comes before Seal,
    // which readies the list for reading.
    std::size_t Add(std::size_t stored, ChunkTarget first);
    void AddTarget(std::size_t i, ChunkTarget target);
    void SetInstalled(std::size_t i, InstalledChunk copy);
    void Seal();
    void Reserve(std::size_t chunks) { chunks_.reserve(chunks); }

private:
    static constexpr std::uint32_t kNotInstalled = 0xFFFFFFFFu;

    struct Chunk {
        std::uint64_t firstOffset = 0;
        std::uint64_t installedOffset = 0;
        std::uint32_t stored = 0;
        std::uint32_t firstContent = 0;
        std::uint32_t moreTargets = 0;  // into more_, up to the next chunk's
        std::uint32_t installedFile = kNotInstalled;
    };
    // A place beyond a chunk's first, before Seal sorts them by chunk.
    struct LaterTarget {
        std::uint32_t chunk;
        ChunkTarget target;
    };

    std::span<const ManifestChunk> stored_;
    std::vector<Chunk> chunks_;
    std::vector<ChunkTarget> more_;
    std::vector<LaterTarget> later_;
};

// Each distinct chunk (by SHA-256) of the contents once, in the order the
// contents list them. A chunk counts as installed when a file of the local
// manifest lists it and the disk holds a file of that file's size.
// `remote` holds its chunks; `local` may hold only their keys.
NeededChunks ListNeededChunks(const Manifest& remote, const std::vector<ContentToBuild>& contents,
                              const Manifest* local, const InstalledFiles& disk);

// A piece of one pack to fetch in one request.
struct PackRange {
    std::uint32_t pack = 0;
    std::uint64_t begin = 0;  // first byte
    std::uint64_t end = 0;    // one past the last byte
    std::vector<std::size_t> chunks;  // indices into the needed chunks, by offset
};

// Ranges need no more bytes between two chunks than this: skipping them
// would cost a request of its own, about what a round trip of 10 ms carries
// on a 100 Mbit/s line.
inline constexpr std::uint64_t kMaxRangeGap = 128 * 1024;
// Nor more bytes in all (unless one chunk is larger), so that several
// requests share the work and a broken one costs little.
inline constexpr std::uint64_t kMaxRangeBytes = 8u * 1024 * 1024;

// The ranges that fetch the chunks `wanted` (indices into `needed`): per
// pack, by offset, neighbours within kMaxRangeGap joined up to
// kMaxRangeBytes. A chunk that overlaps the one before it starts a range of
// its own, so every range is read front to back. Ordered by pack, then
// offset.
std::vector<PackRange> JoinIntoRanges(const NeededChunks& needed, std::vector<std::size_t> wanted);

// The bytes the ranges download, gaps included: the run's total.
std::uint64_t RangeBytes(const std::vector<PackRange>& ranges);

// A whole pack read from its start serves the ranges `served` (indices into
// `ranges`, all of one pack, by offset) as it goes by: the bytes it brings
// up to the end of the last of them besides the ranges themselves, by which
// the run's total grows. InvalidFormat when a range begins before the end
// of the one before it: a body is read forwards only, so such a plan could
// not be served (the manifest rules keep stored chunks apart).
Result<std::uint64_t> BytesAroundRanges(const std::vector<PackRange>& ranges, const std::vector<std::size_t>& served);

}  // namespace velmora::engine
