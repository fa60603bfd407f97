#include "core/chunk_plan.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "core/digest_index.h"
#include "core/lone_digests.h"

namespace velmora::engine {

std::size_t NeededChunks::FirstMore(std::size_t i) const {
    return static_cast<std::size_t>(std::lower_bound(moreChunks_.begin(), moreChunks_.end(), i) - moreChunks_.begin());
}

std::size_t NeededChunks::ContentOf(std::size_t i) const {
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), i,
                                        [](std::size_t chunk, const ContentRun& run) { return chunk < run.firstChunk; });
    return std::prev(after)->content;
}

ChunkTargets NeededChunks::Targets(std::size_t i) const {
    const auto [begin, end] = std::equal_range(moreChunks_.begin(), moreChunks_.end(), i);
    const auto first = static_cast<std::size_t>(begin - moreChunks_.begin());
    return ChunkTargets(IndexAndOffset(ContentOf(i), chunks_[i].Offset()), morePlaces_.data() + first,
                        static_cast<std::size_t>(end - begin));
}

std::optional<InstalledChunk> NeededChunks::Installed(std::size_t i) const {
    const Beside key{static_cast<std::uint32_t>(i), {}};
    const auto found = std::lower_bound(installed_.begin(), installed_.end(), key);
    if (found == installed_.end() || found->chunk != key.chunk) return std::nullopt;
    return InstalledChunk{found->place.Index(), found->place.Offset()};
}

std::size_t NeededChunks::Add(std::size_t stored, ChunkTarget first) {
    if (runs_.empty() || runs_.back().content != first.content)
        runs_.push_back({static_cast<std::uint32_t>(chunks_.size()), static_cast<std::uint32_t>(first.content)});
    chunks_.emplace_back(stored, first.offset);
    return chunks_.size() - 1;
}

void NeededChunks::AddTarget(std::size_t i, ChunkTarget target) {
    later_.push_back({static_cast<std::uint32_t>(i), {target.content, target.offset}});
}

void NeededChunks::SetInstalled(std::size_t i, InstalledChunk copy) {
    installed_.push_back({static_cast<std::uint32_t>(i), {copy.file, copy.offset}});
}

void NeededChunks::Seal() {
    // Stable: each chunk's places stay in the order they were added.
    std::stable_sort(later_.begin(), later_.end());
    moreChunks_.clear();
    morePlaces_.clear();
    moreChunks_.reserve(later_.size());
    morePlaces_.reserve(later_.size());
    for (const Beside& later : later_) {
        moreChunks_.push_back(later.chunk);
        morePlaces_.push_back(later.place);
    }
    std::vector<Beside>().swap(later_);  // its room freed, not only emptied
    std::sort(installed_.begin(), installed_.end());
}

namespace {

// Numbers each distinct chunk of the contents in the order they list them,
// the first line of each the chunk's. Most chunks of a release are
// distinct: only the lines that may share an identity with another, as
// LoneDigests tells, are looked up by it, in an index a fraction the size
// of one of every line.
void AddContentChunks(const Manifest& remote, std::span<const ContentToBuild> contents, NeededChunks& needed) {
    const auto eachLine = [&](const auto& take) {
        for (std::size_t c = 0; c < contents.size(); ++c) {
            std::uint64_t offset = 0;
            const ManifestFile& file = remote.files[contents[c].source];
            for (std::size_t at = file.firstChunk; at < file.firstChunk + file.chunkCount; ++at) {
                take(c, offset, at);
                offset += ChunkKeyAt(remote, at).size;
            }
        }
    };
    std::size_t lines = 0;
    for (const ContentToBuild& content : contents) lines += remote.files[content.source].chunkCount;
    LoneDigests lone(lines);
    eachLine([&](std::size_t, std::uint64_t, std::size_t at) { lone.Count(ChunkIdentityAt(remote, at)); });
    // Room for every chunk line of the contents at once: most chunks are
    // distinct, and a list that doubles as it grows would hold half as
    // much again, twice over while it moves.
    needed.Reserve(lines, contents.size());
    const auto neededIdentity = [&](std::uint32_t i) { return ChunkIdentityAt(remote, needed.Line(i)); };
    DigestIndex shared(neededIdentity, lone.SharedCount());
    eachLine([&](std::size_t c, std::uint64_t offset, std::size_t at) {
        const Sha256Digest identity = ChunkIdentityAt(remote, at);
        if (lone.Lone(identity)) {
            needed.Add(at, {c, offset});
            return;
        }
        const auto next = static_cast<std::uint32_t>(needed.size());
        const std::uint32_t slot = shared.FindOrAdd(identity, next);
        if (slot == next)
            needed.Add(at, {c, offset});
        else
            needed.AddTarget(slot, {c, offset});
    });
}

// The first bytes of a digest, as a digest: what an index by them keys.
Sha256Digest DigestStart(const ChunkKey& key) {
    Sha256Digest start{};
    std::copy(key.digestStart.begin(), key.digestStart.end(), start.begin());
    return start;
}

// The first copy of each chunk the install holds; room made at once for as
// many as there can be. A chunk line of a local file is found among the
// needed chunks by the first bytes of its digest, all a local manifest (and
// a lean release) may keep of it: the first chunk numbered with those bytes
// where several are. The copy is checked against the whole digest before
// it serves.
void AddInstalledCopies(const Manifest& local, const InstalledFiles& disk, NeededChunks& needed) {
    const auto neededStart = [&](std::uint32_t i) { return DigestStart(needed.Key(i)); };
    DigestIndex byStart(neededStart, needed.size());
    for (std::size_t i = 0; i < needed.size(); ++i)
        byStart.FindOrAdd(neededStart(static_cast<std::uint32_t>(i)), static_cast<std::uint32_t>(i));
    std::vector<bool> installed(needed.size(), false);
    needed.ReserveInstalled(std::min(needed.size(), local.chunks.size() + local.chunkKeys.size()));
    for (std::size_t f = 0; f < local.files.size(); ++f) {
        const ManifestFile& file = local.files[f];
        if (file.chunkCount == 0 || disk.FileSize(file.path) != file.size) continue;
        std::uint64_t offset = 0;
        for (std::size_t at = file.firstChunk; at < file.firstChunk + file.chunkCount; ++at) {
            const ChunkKey key = ChunkKeyAt(local, at);
            const std::optional<std::uint32_t> found = byStart.Find(DigestStart(key));
            if (found && !installed[*found]) {
                installed[*found] = true;
                needed.SetInstalled(*found, {f, offset});
            }
            offset += key.size;
        }
    }
}

}  // namespace

NeededChunks ListNeededChunks(const Manifest& remote, std::span<const ContentToBuild> contents,
                              const Manifest* local, const InstalledFiles& disk) {
    NeededChunks needed(&remote);
    AddContentChunks(remote, contents, needed);
    if (local) AddInstalledCopies(*local, disk, needed);
    needed.Seal();
    return needed;
}

namespace {

// Sorts `list` by `less` when all but a few of its items are in order, as
// the chunks of a release are but for those of the files an update changed:
// each item that stands before a smaller one is set aside, then the items
// set aside are sorted and merged back from the end. False, with the list
// in some order of the same items, when more than a sixteenth had to be set
// aside.
template <typename Less>
bool SortAllButAFew(std::vector<std::uint32_t>& list, const Less& less) {
    const std::size_t limit = list.size() / 16 + 64;
    std::vector<std::uint32_t> aside;
    std::size_t kept = 0;  // list[0, kept) in order; then a gap as long as `aside`
    for (std::size_t at = 0; at < list.size(); ++at) {
        const std::uint32_t item = list[at];
        while (kept > 0 && less(item, list[kept - 1])) {
            if (aside.size() == limit) {
                std::copy(aside.begin(), aside.end(), list.begin() + static_cast<std::ptrdiff_t>(kept));
                return false;
            }
            aside.push_back(list[--kept]);
        }
        list[kept++] = item;
    }
    std::sort(aside.begin(), aside.end(), less);
    for (std::size_t out = list.size(), left = aside.size(); left > 0;) {
        if (kept > 0 && less(aside[left - 1], list[kept - 1]))
            list[--out] = list[--kept];
        else
            list[--out] = aside[--left];
    }
    return true;
}

// Puts `wanted` in the order the packs hold the chunks: by pack, then
// offset. A list in order but for a few chunks is sorted as such; any other
// is dealt out by pack in place (a pack holds a few hundred chunks), then
// each pack's run sorted by offset where it is out of order.
void SortByPlace(const NeededChunks& needed, std::vector<std::uint32_t>& wanted) {
    const auto byPlace = [&](std::uint32_t a, std::uint32_t b) { return needed.Place(a) < needed.Place(b); };
    if (SortAllButAFew(wanted, byPlace)) return;
    const auto packOf = [&](std::uint32_t i) { return PackOfPlace(needed.Place(i)); };
    std::uint32_t packs = 0;
    for (const std::uint32_t i : wanted) packs = std::max(packs, packOf(i) + 1);
    // Where each pack's run ends, then where the next of its chunks goes.
    std::vector<std::size_t> ends(packs, 0);
    for (const std::uint32_t i : wanted) ++ends[packOf(i)];
    for (std::size_t p = 1; p < packs; ++p) ends[p] += ends[p - 1];
    std::vector<std::size_t> next(packs, 0);
    for (std::size_t p = 1; p < packs; ++p) next[p] = ends[p - 1];
    // Each chunk swapped to its pack's run until the one at hand belongs
    // where it is: every swap puts one chunk in its place for good.
    for (std::size_t p = 0; p < packs; ++p)
        while (next[p] < ends[p]) {
            const std::uint32_t pack = packOf(wanted[next[p]]);
            if (pack == p)
                ++next[p];
            else
                std::swap(wanted[next[p]], wanted[next[pack]++]);
        }
    for (std::size_t p = 0; p < packs; ++p) {
        const auto begin = wanted.begin() + static_cast<std::ptrdiff_t>(p == 0 ? 0 : ends[p - 1]);
        const auto end = wanted.begin() + static_cast<std::ptrdiff_t>(ends[p]);
        if (!std::is_sorted(begin, end, byPlace)) std::sort(begin, end, byPlace);
    }
}

}  // namespace

RangeChunks::RangeChunks(std::vector<std::uint32_t> chunks) : count_(static_cast<std::uint32_t>(chunks.size())) {
    list_ = std::make_shared<const std::vector<std::uint32_t>>(std::move(chunks));
}

RangeChunks::RangeChunks(std::shared_ptr<const std::vector<std::uint32_t>> list, std::size_t first,
                         std::size_t count)
    : list_(std::move(list)), first_(static_cast<std::uint32_t>(first)), count_(static_cast<std::uint32_t>(count)) {}

RangeChunks RangeChunks::After(std::size_t skipped) const {
    skipped = std::min<std::size_t>(skipped, count_);
    return RangeChunks(list_, first_ + skipped, count_ - skipped);
}

std::vector<PackRange> JoinIntoRanges(const NeededChunks& needed, std::vector<std::uint32_t> wanted) {
    SortByPlace(needed, wanted);
    const auto list = std::make_shared<const std::vector<std::uint32_t>>(std::move(wanted));
    const std::vector<std::uint32_t>& sorted = *list;
    // The range that starts with sorted[first], and the position of the
    // first chunk after it.
    const auto rangeFrom = [&](std::size_t first, std::size_t& next) {
        const StoredChunk start = needed.Stored(sorted[first]);
        PackRange range{start.pack, start.offset, start.offset + start.storedSize, {}};
        for (next = first + 1; next < sorted.size(); ++next) {
            const StoredChunk chunk = needed.Stored(sorted[next]);
            const std::uint64_t end = chunk.offset + chunk.storedSize;
            const bool joins = range.pack == chunk.pack && chunk.offset >= range.end &&
                               chunk.offset - range.end <= kMaxRangeGap && end - range.begin <= kMaxRangeBytes;
            if (!joins) break;
            range.end = end;
        }
        return range;
    };
    // Counted first, so that the list is made at its size: some ten
    // thousand ranges in a list that doubled as it grew would hold half as
    // many again, twice over while it moved.
    std::size_t count = 0;
    for (std::size_t first = 0, next = 0; first < sorted.size(); first = next) {
        rangeFrom(first, next);
        ++count;
    }
    std::vector<PackRange> ranges;
    ranges.reserve(count);
    for (std::size_t first = 0, next = 0; first < sorted.size(); first = next) {
        PackRange range = rangeFrom(first, next);
        range.chunks = RangeChunks(list, first, next - first);
        ranges.push_back(std::move(range));
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
