#include "core/manifest_content.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <unordered_set>

#include "core/digest_hash.h"
#include "core/digest_index.h"
#include "core/hex.h"
#include "core/path_collisions.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

EngineError FileError(const ManifestFile& file, std::string_view problem) {
    return InvalidFormat("file '" + file.path + "': " + std::string(problem));
}

// The numbers 0 to `count` - 1 dealt out by `groupOf(i)`, below `groups`:
// each group's numbers in a stretch of the list, in numeric order, counted
// into place in one pass; `ends[g]` is where group g's stretch ends.
struct DealtOut {
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> ends;
};

template <typename GroupOf>
DealtOut DealOut(std::size_t count, std::size_t groups, GroupOf groupOf) {
    DealtOut dealt{std::vector<std::uint32_t>(count), std::vector<std::uint32_t>(groups, 0)};
    for (std::size_t i = 0; i < count; ++i) ++dealt.ends[groupOf(i)];
    for (std::size_t g = 1; g < groups; ++g) dealt.ends[g] += dealt.ends[g - 1];
    // Each group's next free slot from its end, the numbers taken from the last.
    std::vector<std::uint32_t> next = dealt.ends;
    for (std::size_t i = count; i-- > 0;) dealt.order[--next[groupOf(i)]] = static_cast<std::uint32_t>(i);
    return dealt;
}

// The numbers 0 to `count` - 1 ordered by pack, `packOf(i)` below
// `packCount`, then within each pack by `less`, ties in numeric order. The
// packs are dealt out (DealOut): one pass, where a sort of close to a
// million numbers by place takes several. A publisher fills each pack in
// the order of the lines, so a stretch is seldom out of order; only such a
// stretch is sorted. A release that adds packs after those of the one
// before lists the lines of the later packs among the others: the whole
// list is out of order, its stretches are not.
template <typename PackOf, typename Less>
std::vector<std::uint32_t> LinesInPackOrder(std::size_t count, std::size_t packCount, PackOf packOf, Less less) {
    DealtOut dealt = DealOut(count, packCount, packOf);
    auto begin = dealt.order.begin();
    for (const std::uint32_t end : dealt.ends) {
        const auto stretchEnd = dealt.order.begin() + end;
        if (!std::is_sorted(begin, stretchEnd, less)) std::stable_sort(begin, stretchEnd, less);
        begin = stretchEnd;
    }
    return std::move(dealt.order);
}

// Every chunk line of the manifest in list order, numbered across files, and
// where each file's lines begin in that numbering. The checks below sort
// 32-bit numbers into it rather than copy chunks or build hash maps: a
// large game lists close to a million chunks. A manifest read from its text
// lists each file's chunks after the previous file's, and the numbering is
// then that of Manifest::chunks; one put together otherwise gets a list of
// where each line is.
class ChunkLines {
public:
    explicit ChunkLines(const Manifest& manifest) : chunks_(manifest.chunks) {
        starts_.reserve(manifest.files.size() + 1);
        std::size_t total = 0;
        bool inOrder = true;
        for (const ManifestFile& file : manifest.files) {
            inOrder = inOrder && file.firstChunk == total;
            starts_.push_back(static_cast<std::uint32_t>(total));
            total += file.chunkCount;
        }
        starts_.push_back(static_cast<std::uint32_t>(total));
        if (inOrder && total == chunks_.size()) return;
        scattered_.reserve(total);
        for (const ManifestFile& file : manifest.files)
            for (const ManifestChunk& chunk : manifest.ChunksOf(file)) scattered_.push_back(&chunk);
    }

    std::size_t Size() const { return starts_.back(); }
    const ManifestChunk& operator[](std::size_t line) const {
        return scattered_.empty() ? chunks_[line] : *scattered_[line];
    }
    // The file that lists chunk line `line`.
    std::size_t FileOf(std::size_t line) const {
        return static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), line) - starts_.begin()) - 1;
    }
    std::size_t FirstOf(std::size_t file) const { return starts_[file]; }

    // The line numbers ordered by pack, then by `less` (LinesInPackOrder).
    template <typename Less>
    std::vector<std::uint32_t> InPackOrder(std::size_t packCount, Less less) const {
        return LinesInPackOrder(
            Size(), packCount, [&](std::size_t line) { return (*this)[line].Pack(); },
            [&](std::uint32_t a, std::uint32_t b) { return less((*this)[a], (*this)[b]); });
    }

private:
    std::span<const ManifestChunk> chunks_;
    std::vector<const ManifestChunk*> scattered_;  // empty when in order
    std::vector<std::uint32_t> starts_;
};

// For each file, the first file listed with its SHA-256.
std::vector<std::uint32_t> FirstOfEachContent(const std::vector<ManifestFile>& files) {
    const auto digestOf = [&](std::uint32_t f) -> const Sha256Digest& { return files[f].sha256; };
    DigestIndex index(digestOf, files.size());
    std::vector<std::uint32_t> first(files.size());
    for (std::size_t f = 0; f < files.size(); ++f)
        first[f] = index.FindOrAdd(files[f].sha256, static_cast<std::uint32_t>(f));
    return first;
}

// For each chunk line, whether the first line with its SHA-256 gives
// another size. Looked up by digest rather than sorted by it: sorting close
// to a million digests took most of the time a large manifest's checks take.
// The lines are dealt out by their digest's last byte (the table hashes the
// first ones), and each stretch, in line order, is looked up in a table of
// its own: a 256th of one for every line, which for a large game's close
// to a million took 8 MiB.
std::vector<bool> ChunkSizeDiffers(const ChunkLines& lines) {
    const auto [dealt, ends] = DealOut(lines.Size(), 256, [&](std::size_t line) { return lines[line].sha256.back(); });
    std::vector<bool> differs(lines.Size(), false);
    std::uint32_t begin = 0;
    for (const std::uint32_t end : ends) {
        const auto digestOf = [&](std::uint32_t line) -> const Sha256Digest& { return lines[line].sha256; };
        DigestIndex index(digestOf, end - begin);
        for (std::uint32_t at = begin; at < end; ++at) {
            const std::uint32_t line = dealt[at];
            const std::uint32_t first = index.FindOrAdd(lines[line].sha256, line);
            differs[line] = lines[first].size != lines[line].size;
        }
        begin = end;
    }
    return differs;
}

// Stored chunks may not overlap in their pack: a pack is read from front
// to back, and bytes that belong to two chunks could not be both of them
// anyway. Lines naming the very same place and content are one stored
// chunk, shared. Ordered by place: neighbours are compared. Every line
// names a pack below `packCount`.
Result<void> CheckStoredChunksApart(const std::vector<ManifestFile>& files, const ChunkLines& lines,
                                    std::size_t packCount) {
    const auto end = [](const ManifestChunk& chunk) { return chunk.Offset() + chunk.storedSize; };
    const auto order = lines.InPackOrder(packCount, [&](const ManifestChunk& a, const ManifestChunk& b) {
        if (a.Offset() != b.Offset()) return a.Offset() < b.Offset();
        if (end(a) != end(b)) return end(a) < end(b);
        return a.sha256 < b.sha256;
    });
    for (std::size_t k = 1; k < order.size(); ++k) {
        const ManifestChunk& before = lines[order[k - 1]];
        const ManifestChunk& place = lines[order[k]];
        const bool sameStoredChunk = place.Offset() == before.Offset() && end(place) == end(before) &&
                                     place.sha256 == before.sha256;
        if (place.Pack() != before.Pack() || place.Offset() >= end(before) || sameStoredChunk) continue;
        return FileError(files[lines.FileOf(order[k])],
                         "a chunk's stored bytes overlap those of another chunk (pack " + std::to_string(place.Pack()) +
                             ", offset " + std::to_string(place.Offset()) + ", of '" +
                             files[lines.FileOf(order[k - 1])].path + "')");
    }
    return {};
}

Result<void> CheckPaths(const std::vector<ManifestFile>& files) {
    // Safe paths first: the collision check relies on them.
    for (const ManifestFile& file : files) {
        if (const char* problem = PathProblem(file.path)) return FileError(file, problem);
        if (file.playerFile && IsUpdaterFile(file.path))
            return FileError(file, "the updater's own files cannot be the player's to edit");
    }
    if (const std::optional<PathCollision> collision =
            FindPathCollision(files.size(), [&](std::size_t i) -> std::string_view { return files[i].path; })) {
        const ManifestFile& first = files[collision->first];
        const ManifestFile& second = files[collision->second];
        if (collision->kind == PathCollision::Kind::SameFile)
            return FileError(second, "listed twice (as '" + first.path + "'; names compared as Windows compares them)");
        return InvalidFormat("'" + first.path + "' is both a file and a folder (of '" + second.path + "')");
    }
    return {};
}

Result<void> CheckPacks(const std::vector<ManifestPack>& packs) {
    std::unordered_set<Sha256Digest, DigestHash> packNames;
    for (const ManifestPack& pack : packs) {
        if (pack.size > kMaxFileSize) return InvalidFormat("pack " + ToHex(pack.name) + ": size above 1 TiB");
        if (!packNames.insert(pack.name).second) return InvalidFormat("pack " + ToHex(pack.name) + " listed twice");
    }
    return {};
}

// The rules each chunk line keeps on its own, in the order the reasons are
// given: a size, a stored size, a pack and a place in it.
const char* ChunkLineProblem(std::uint32_t size, std::uint32_t storedSize, std::uint32_t pack, std::uint64_t offset,
                             const std::vector<ManifestPack>& packs) {
    if (size == 0 || size > kMaxChunkSize) return "a chunk is empty or too large";
    if (storedSize == 0 || storedSize > size) return "a chunk's stored size is 0 or above its size";
    if (pack >= packs.size()) return "a chunk names a pack not listed";
    const std::uint64_t packSize = packs[pack].size;
    if (offset > packSize || storedSize > packSize - offset) return "a chunk lies outside its pack";
    return nullptr;
}

// Whether the chunk lines whose keys begin alike all have one size: then no
// two lines with one SHA-256 differ in size, whatever the rest of their
// digests. Dealt out by the keys' last byte, each stretch looked up in an
// open-addressing table of line numbers of its own, as DigestIndex keeps.
bool ChunkSizesAgreeByKey(std::span<const ChunkKey> keys) {
    constexpr std::uint32_t kEmpty = 0xffffffffu;
    const auto [dealt, ends] = DealOut(keys.size(), 256, [&](std::size_t k) { return keys[k].digestStart.back(); });
    std::vector<std::uint32_t> table;
    std::uint32_t begin = 0;
    for (const std::uint32_t end : ends) {
        std::size_t slots = 16;
        while (slots < std::size_t{end - begin} * 2) slots *= 2;
        table.assign(slots, kEmpty);
        const std::size_t mask = slots - 1;
        for (std::uint32_t at = begin; at < end; ++at) {
            const std::uint32_t k = dealt[at];
            std::uint64_t start;
            std::memcpy(&start, keys[k].digestStart.data(), sizeof start);
            for (std::size_t probe = static_cast<std::size_t>(start ^ start >> 32) & mask;; probe = (probe + 1) & mask) {
                std::uint32_t& slot = table[probe];
                if (slot == kEmpty) {
                    slot = k;
                    break;
                }
                if (keys[slot].digestStart != keys[k].digestStart) continue;
                if (keys[slot].size != keys[k].size) return false;
                break;
            }
        }
        begin = end;
    }
    return true;
}

}  // namespace

Result<void> CheckManifestContent(const Manifest& manifest) {
    const std::vector<ManifestFile>& files = manifest.files;
    if (auto paths = CheckPaths(files); !paths) return paths;
    if (auto packs = CheckPacks(manifest.packs); !packs) return packs;
    // Every file of a content must list the same chunks as the first, so
    // that whichever of them the content is built from, it is built the
    // same.
    const std::vector<std::uint32_t> firstOfContent = FirstOfEachContent(files);
    const ChunkLines lines(manifest);
    const std::vector<bool> sizeDiffers = ChunkSizeDiffers(lines);
    for (std::size_t f = 0; f < files.size(); ++f) {
        const ManifestFile& file = files[f];
        if (file.size > kMaxFileSize) return FileError(file, "size above 1 TiB");
        const ManifestFile& first = files[firstOfContent[f]];
        if (first.size != file.size) return FileError(file, "same SHA-256 as another file but another size");
        const std::span<const ManifestChunk> chunks = manifest.ChunksOf(file);
        if (!std::ranges::equal(manifest.ChunksOf(first), chunks))
            return FileError(file, "same SHA-256 as '" + first.path + "' but other chunks");
        std::uint64_t chunked = 0;
        for (std::size_t c = 0; c < chunks.size(); ++c) {
            const ManifestChunk& chunk = chunks[c];
            if (const char* problem =
                    ChunkLineProblem(chunk.size, chunk.storedSize, chunk.Pack(), chunk.Offset(), manifest.packs))
                return FileError(file, problem);
            if (sizeDiffers[lines.FirstOf(f) + c])
                return FileError(file, "same chunk SHA-256 as another but another size");
            chunked += chunk.size;
        }
        if (chunked != file.size) return FileError(file, "its chunks do not add up to its size");
    }
    return CheckStoredChunksApart(files, lines, manifest.packs.size());
}

namespace {

// Whether every file's chunk lines, as keys, places and stored sizes, pass
// the rules of each file: sizes, lines within the list, the same lines for
// the same content, each line sound, the chunks adding up to the file.
bool FilesAgreeByKeys(const Manifest& manifest, std::span<const std::uint64_t> places,
                      std::span<const std::uint32_t> storedSizes) {
    const std::vector<ManifestFile>& files = manifest.files;
    const std::span<const ChunkKey> keys = manifest.chunkKeys;
    const std::vector<std::uint32_t> firstOfContent = FirstOfEachContent(files);
    for (std::size_t f = 0; f < files.size(); ++f) {
        const ManifestFile& file = files[f];
        const ManifestFile& first = files[firstOfContent[f]];
        if (file.size > kMaxFileSize || first.size != file.size) return false;
        if (file.firstChunk + std::uint64_t{file.chunkCount} > keys.size()) return false;
        // A file of the same content as an earlier one lists the same lines.
        // Where the keys and places agree, the lines share one stored chunk,
        // whose digests the check of stored chunks compares whole.
        if (&first != &file) {
            if (first.chunkCount != file.chunkCount) return false;
            for (std::uint32_t c = 0; c < file.chunkCount; ++c) {
                const std::uint32_t a = first.firstChunk + c;
                const std::uint32_t b = file.firstChunk + c;
                if (keys[a] != keys[b] || places[a] != places[b] || storedSizes[a] != storedSizes[b]) return false;
            }
        }
        std::uint64_t chunked = 0;
        for (std::uint32_t line = file.firstChunk; line < file.firstChunk + file.chunkCount; ++line) {
            if (ChunkLineProblem(keys[line].size, storedSizes[line], PackOfPlace(places[line]),
                                 OffsetOfPlace(places[line]), manifest.packs))
                return false;
            chunked += keys[line].size;
        }
        if (chunked != file.size) return false;
    }
    return true;
}

}  // namespace

ChunkKeysVerdict CheckChunkKeysContent(const Manifest& manifest, std::span<const std::uint64_t> places,
                                       std::span<const std::uint32_t> storedSizes) {
    const ChunkKeysVerdict unsettled;
    const std::span<const ChunkKey> keys = manifest.chunkKeys;
    if (places.size() != keys.size() || storedSizes.size() != keys.size()) return unsettled;
    if (!CheckPaths(manifest.files) || !CheckPacks(manifest.packs)) return unsettled;
    if (!FilesAgreeByKeys(manifest, places, storedSizes)) return unsettled;
    ChunkKeysVerdict verdict;
    const auto pack = [&](std::size_t line) { return PackOfPlace(places[line]); };
    const auto offset = [&](std::size_t line) { return OffsetOfPlace(places[line]); };
    if (!ChunkSizesAgreeByKey(keys)) return unsettled;
    // Stored chunks apart, as CheckStoredChunksApart orders them, with the
    // keys' digest starts for the digests: neighbours at the very same place
    // are one stored chunk only when their digests agree whole.
    const auto end = [&](std::uint32_t line) { return offset(line) + storedSizes[line]; };
    // The lines checked above are those of the files; any other line is
    // counted into no pack.
    for (std::size_t line = 0; line < keys.size(); ++line)
        if (pack(line) >= manifest.packs.size()) return unsettled;
    const auto byPlace = [&](std::uint32_t a, std::uint32_t b) {
        if (places[a] != places[b]) return places[a] < places[b];
        if (end(a) != end(b)) return end(a) < end(b);
        return keys[a].digestStart < keys[b].digestStart;
    };
    const std::vector<std::uint32_t> order = LinesInPackOrder(keys.size(), manifest.packs.size(), pack, byPlace);
    for (std::size_t k = 1; k < order.size(); ++k) {
        const std::uint32_t before = order[k - 1];
        const std::uint32_t line = order[k];
        if (pack(line) != pack(before) || offset(line) >= end(before)) continue;
        if (places[line] != places[before] || end(line) != end(before) ||
            keys[line].digestStart != keys[before].digestStart)
            return unsettled;
        verdict.sameDigest.emplace_back(std::min(before, line), std::max(before, line));
    }
    verdict.settled = true;
    return verdict;
}

}  // namespace velmora::engine
