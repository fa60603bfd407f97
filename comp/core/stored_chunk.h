#pragma once
// A release's chunk line as a run plans and fetches from it, whichever way
// the manifest holds its lines: whole (Manifest::chunks), or lean, with
// each line's key, stored place and size and where the line begins
// (ChunkLinesKept::KeysAndPlaces), its whole SHA-256 read again from the
// text when a chunk is checked.
#include <cstddef>
#include <cstdint>

#include "core/manifest.h"
#include "core/manifest_content.h"

namespace velmora::engine {

struct StoredChunk {
    std::uint32_t line = 0;  // its number among the manifest's chunk lines
    std::uint32_t pack = 0;
    std::uint64_t offset = 0;      // of the stored bytes in the pack
    std::uint32_t size = 0;        // of the content
    std::uint32_t storedSize = 0;  // in the pack

    // The line whole, given its SHA-256.
    ManifestChunk WithDigest(const Sha256Digest& sha256) const {
        return ManifestChunk(pack, offset, sha256, size, storedSize);
    }
};

// Whether the run can fetch from the manifest's chunk lines: held whole,
// or lean (a manifest read keys-only holds no places).
inline bool HoldsStoredPlaces(const Manifest& manifest) {
    return manifest.HoldsChunks() || manifest.chunkPlaces.size() == manifest.chunkKeys.size();
}

// Where line `line`'s stored bytes are (StoredPlace).
inline std::uint64_t StoredPlaceAt(const Manifest& manifest, std::size_t line) {
    if (manifest.HoldsChunks()) return StoredPlace(manifest.chunks[line].Pack(), manifest.chunks[line].Offset());
    return manifest.chunkPlaces[line];
}

inline ChunkKey ChunkKeyAt(const Manifest& manifest, std::size_t line) {
    return manifest.HoldsChunks() ? KeyOf(manifest.chunks[line]) : manifest.chunkKeys[line];
}

inline StoredChunk StoredChunkAt(const Manifest& manifest, std::size_t line) {
    const std::uint64_t place = StoredPlaceAt(manifest, line);
    const std::uint32_t storedSize =
        manifest.HoldsChunks() ? manifest.chunks[line].storedSize : manifest.chunkStoredSizes[line];
    return {static_cast<std::uint32_t>(line), PackOfPlace(place), OffsetOfPlace(place),
            ChunkKeyAt(manifest, line).size, storedSize};
}

// What tells one needed chunk from another: its SHA-256 where the manifest
// holds the lines whole, else its stored place, in the first bytes, which
// stands for one SHA-256 however many lines name it (the lean reading
// compared the whole digests of lines that share a stored chunk). Lean,
// one content stored at two places counts as two chunks.
inline Sha256Digest ChunkIdentityAt(const Manifest& manifest, std::size_t line) {
    if (manifest.HoldsChunks()) return manifest.chunks[line].sha256;
    Sha256Digest identity{};
    const std::uint64_t place = manifest.chunkPlaces[line];
    for (std::size_t b = 0; b < 8; ++b) identity[b] = static_cast<std::uint8_t>(place >> (8 * b));
    return identity;
}

}  // namespace velmora::engine
