#pragma once
// Where the chunks of the contents a run builds come from: a copy already
// in the install (a chunk of the old version of any file the local manifest
// lists), or the server's packs, fetched with as few range requests as
// makes sense. Portable: the Windows side reads, fetches and writes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/stored_chunk.h"
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

// A number below 2^24 (a content of the plan, a file or a chunk line of a
// manifest: a manifest of kMaxManifestBytes lists fewer) and an offset below
// kMaxFileSize in two 32-bit words, so that a record of it and one more
// 32-bit number takes 12 bytes.
class IndexAndOffset {
public:
    static constexpr unsigned kOffsetBits = 40;
    static constexpr std::size_t kIndexLimit = std::size_t{1} << (64 - kOffsetBits);

    IndexAndOffset() = default;
    IndexAndOffset(std::size_t index, std::uint64_t offset)
        : high_(static_cast<std::uint32_t>((index << (kOffsetBits - 32)) | ((offset >> 32) & 0xFFu))),
          low_(static_cast<std::uint32_t>(offset)) {}
    std::size_t Index() const noexcept { return high_ >> (kOffsetBits - 32); }
    std::uint64_t Offset() const noexcept { return (std::uint64_t{high_ & 0xFFu} << 32) | low_; }

private:
    std::uint32_t high_ = 0;  // the index above the offset's top 8 bits
    std::uint32_t low_ = 0;   // the offset's low 32 bits
};
static_assert((std::uint64_t{1} << IndexAndOffset::kOffsetBits) == kMaxFileSize);
// A file line takes at least 74 bytes, a chunk line more.
static_assert(kMaxManifestBytes / 74 < IndexAndOffset::kIndexLimit);

// The places one chunk goes, in list order: the first is held with the
// chunk, the rest (a chunk that several contents share) in a list beside.
class ChunkTargets {
public:
    ChunkTargets(IndexAndOffset first, const IndexAndOffset* more, std::size_t moreCount)
        : first_(first), more_(more), moreCount_(moreCount) {}
    std::size_t size() const noexcept { return 1 + moreCount_; }
    ChunkTarget operator[](std::size_t t) const {
        const IndexAndOffset place = t == 0 ? first_ : more_[t - 1];
        return {place.Index(), place.Offset()};
    }

private:
    IndexAndOffset first_;
    const IndexAndOffset* more_;
    std::size_t moreCount_;
};

// Each distinct chunk the contents of a run need, with every place it goes
// and a copy in the install where an old file holds it. A large game needs
// close to a million: each takes 8 bytes (its stored line and where in its
// first content it goes) and no allocation of its own; which content that
// is, the same for the chunks added one after another, takes 8 bytes a
// content, found by binary search. Most go to one place only and have no
// copy in the install (none at all on a fresh install): the other places
// of the chunks that several contents share, and the copies, lie in lists
// beside, by chunk, found by binary search.
class NeededChunks {
public:
    // `release`: the manifest whose chunk lines the chunks are (whole or
    // lean, HoldsStoredPlaces); it must outlive this.
    explicit NeededChunks(const Manifest* release = nullptr) : release_(release) {}

    std::size_t size() const noexcept { return chunks_.size(); }
    bool empty() const noexcept { return chunks_.empty(); }

    // Where the server keeps chunk `i`: its first line.
    StoredChunk Stored(std::size_t i) const { return StoredChunkAt(*release_, Line(i)); }
    std::uint32_t Line(std::size_t i) const { return static_cast<std::uint32_t>(chunks_[i].Index()); }
    std::uint64_t Place(std::size_t i) const { return StoredPlaceAt(*release_, Line(i)); }
    ChunkKey Key(std::size_t i) const { return ChunkKeyAt(*release_, Line(i)); }
    ChunkTargets Targets(std::size_t i) const;
    std::optional<InstalledChunk> Installed(std::size_t i) const;
    // Every place of every chunk numbered from 0 to TargetCount() - 1:
    // the number of place `t` of chunk `i`, for lists kept beside.
    std::size_t TargetCount() const noexcept { return chunks_.size() + morePlaces_.size(); }
    std::size_t TargetNumber(std::size_t i, std::size_t t) const {
        return t == 0 ? i : chunks_.size() + FirstMore(i) + t - 1;
    }

    // Adds chunk `stored` (an index into the stored list) going to `first`;
    // the places added later with AddTarget and the copy (one at most) with
    // SetInstalled. Every AddTarget and SetInstalled comes before Seal,
    // which readies the list for reading.
    std::size_t Add(std::size_t stored, ChunkTarget first);
    void AddTarget(std::size_t i, ChunkTarget target);
    void SetInstalled(std::size_t i, InstalledChunk copy);
    void Seal();
    // Room for `chunks` chunks whose first places lie in `contents`
    // contents.
    void Reserve(std::size_t chunks, std::size_t contents) {
        chunks_.reserve(chunks);
        runs_.reserve(contents);
    }
    void ReserveInstalled(std::size_t copies) { installed_.reserve(copies); }

private:
    // The chunks from `firstChunk` up to the next run's have their first
    // places in content `content`; ListNeededChunks adds chunks content
    // after content, a run a content.
    struct ContentRun {
        std::uint32_t firstChunk = 0;
        std::uint32_t content = 0;
    };
    // A place beyond a chunk's first, or the chunk's copy in the install
    // (file and offset).
    struct Beside {
        std::uint32_t chunk = 0;
        IndexAndOffset place;
        friend bool operator<(const Beside& a, const Beside& b) { return a.chunk < b.chunk; }
    };
    static_assert(sizeof(IndexAndOffset) == 8 && sizeof(Beside) == 12);

    // The position in morePlaces_ of chunk `i`'s second place, or of the
    // next chunk's when it has none.
    std::size_t FirstMore(std::size_t i) const;
    // The content of chunk `i`'s first place.
    std::size_t ContentOf(std::size_t i) const;

    const Manifest* release_;
    std::vector<IndexAndOffset> chunks_;  // each chunk's stored line, and its first place's offset
    std::vector<ContentRun> runs_;        // by firstChunk
    std::vector<Beside> later_;  // the places beyond a chunk's first, until Seal
    // Those, by chunk: the chunk's number and the place.
    std::vector<std::uint32_t> moreChunks_;
    std::vector<IndexAndOffset> morePlaces_;
    std::vector<Beside> installed_;  // by chunk once sealed
};

// Each distinct chunk (by ChunkIdentityAt: its SHA-256, or its stored place
// in a lean release) of the contents once, in the order the contents list
// them. A chunk counts as installed when a file of the local manifest lists
// it and the disk holds a file of that file's size. `remote` holds its
// chunk lines whole or lean (HoldsStoredPlaces); `local` may hold only
// their keys.
NeededChunks ListNeededChunks(const Manifest& remote, std::span<const ContentToBuild> contents,
                              const Manifest* local, const InstalledFiles& disk);

// The chunks of one range: a stretch of a list of chunk numbers that the
// ranges of a plan share, so that some ten thousand ranges need no list
// each, and a range cut short or copied copies no numbers.
class RangeChunks {
public:
    RangeChunks() = default;
    // A list of its own.
    RangeChunks(std::vector<std::uint32_t> chunks);
    RangeChunks(std::initializer_list<std::uint32_t> chunks) : RangeChunks(std::vector<std::uint32_t>(chunks)) {}
    // `count` numbers of `list` from `first`.
    RangeChunks(std::shared_ptr<const std::vector<std::uint32_t>> list, std::size_t first, std::size_t count);

    std::size_t size() const noexcept { return count_; }
    bool empty() const noexcept { return count_ == 0; }
    const std::uint32_t* begin() const noexcept { return list_ ? list_->data() + first_ : nullptr; }
    const std::uint32_t* end() const noexcept { return begin() + count_; }
    std::uint32_t front() const { return *begin(); }
    std::uint32_t operator[](std::size_t i) const { return begin()[i]; }
    // The chunks after the first `skipped` (all of them skipped: none).
    RangeChunks After(std::size_t skipped) const;

    friend bool operator==(const RangeChunks& a, const RangeChunks& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::shared_ptr<const std::vector<std::uint32_t>> list_;
    std::uint32_t first_ = 0;
    std::uint32_t count_ = 0;
};

// A piece of one pack to fetch in one request.
struct PackRange {
    std::uint32_t pack = 0;
    std::uint64_t begin = 0;  // first byte
    std::uint64_t end = 0;    // one past the last byte
    RangeChunks chunks;       // indices into the needed chunks, by offset
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
// offset; their chunks share the list `wanted` becomes, sorted in place.
std::vector<PackRange> JoinIntoRanges(const NeededChunks& needed, std::vector<std::uint32_t> wanted);

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
