#pragma once
// The rules a manifest's file list must keep beyond the syntax of each line;
// the parser applies them, and the publishing tool before it signs.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// InvalidFormat when the packs or files break a rule:
// - a file's path is unsafe (path_rules.h);
// - two paths are the same when compared as Windows compares names
//   (case_fold.h);
// - a path is also the folder of another path ("a" and "a/b");
// - a file or pack size exceeds kMaxFileSize, or two packs have one name;
// - a file's chunk sizes do not add up to its size;
// - a chunk is empty or larger than kMaxChunkSize, its stored size is 0 or
//   above its size, or its stored bytes lie outside its pack;
// - two files with the same SHA-256 differ in size or in their chunk lines,
//   or two chunks with the same SHA-256 differ in size;
// - the stored bytes of two chunks overlap in a pack (two lines naming the
//   same pack, offset, stored size and SHA-256 are one stored chunk,
//   shared, not an overlap).
Result<void> CheckManifestContent(const Manifest& manifest);

// Where a chunk line's stored bytes are: its pack's number above its
// offset's 40 bits, as ManifestChunk keeps them.
inline std::uint64_t StoredPlace(std::uint32_t pack, std::uint64_t offset) { return std::uint64_t{pack} << 40 | offset; }
inline std::uint32_t PackOfPlace(std::uint64_t place) { return static_cast<std::uint32_t>(place >> 40); }
inline std::uint64_t OffsetOfPlace(std::uint64_t place) { return place & ((std::uint64_t{1} << 40) - 1); }

// What CheckChunkKeysContent could tell of a manifest read keys-only.
struct ChunkKeysVerdict {
    // False when a rule is broken or only whole digests could tell: the
    // reason, or the answer, then comes from reading the manifest whole.
    bool settled = false;
    // When settled, the manifest keeps every rule on condition that the
    // two chunk lines of each pair (numbers into chunkKeys) name one
    // SHA-256: they agree on all the keys keep, and two lines that share a
    // stored chunk or stand for one content must agree on the rest too.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sameDigest;
};

// CheckManifestContent's rules for a manifest whose chunk lines are kept as
// chunkKeys (listed file after file), given the stored place (StoredPlace)
// and stored size of each line. It never accepts what CheckManifestContent
// refuses, and it settles (on the pairs' condition) every manifest that
// CheckManifestContent accepts, unless two of its chunk lines of different
// sizes have digests that begin alike.
ChunkKeysVerdict CheckChunkKeysContent(const Manifest& manifest, std::span<const std::uint64_t> places,
                                       std::span<const std::uint32_t> storedSizes);

}  // namespace velmora::engine
