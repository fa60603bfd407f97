#pragma once
// The manifest `gamedata.vel` in memory: what a server publishes and what the
// engine applied last. docs/update-format.md describes the text form.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/manifest_path.h"

namespace velmora::engine {

// The format version the publishing tool writes. The engine reads it and
// the one before, which has no mirror lines and no files of the player's (a
// player's local manifest may be of that format).
inline constexpr std::uint64_t kManifestFormat = 3;
inline constexpr std::uint64_t kEarliestManifestFormat = 2;

// A manifest larger than this is refused before it is read any further; the
// Windows side stops downloading one at this size. A game of 100 GB in
// chunks of 128 KiB on average (800,000 chunk lines of about 97 bytes,
// 200,000 file lines) takes about 98 MiB; this leaves a third more. The
// engine reads the text in pieces, but a 32-bit process has 2 GiB of
// address space for the parsed forms of it and of the local manifest.
inline constexpr std::size_t kMaxManifestBytes = 128u * 1024 * 1024;

// Sizes above this (1 TiB) are refused, so that no sum of them can overflow.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 40;

// The largest chunk content: what the engine holds in memory at once to
// check or unpack one chunk.
inline constexpr std::uint32_t kMaxChunkSize = 512u * 1024;

using Sha256Digest = std::array<std::uint8_t, 32>;

// ECDSA P-256 signature as r then s, 32 bytes each, big-endian.
using ManifestSignature = std::array<std::uint8_t, 64>;

// A file on the server, packs/<hex of name>, holding stored chunks one
// after another.
struct ManifestPack {
    Sha256Digest name{};        // the SHA-256 of the pack's bytes
    std::uint64_t size = 0;

    friend bool operator==(const ManifestPack&, const ManifestPack&) = default;
};

// A manifest lists fewer packs than this (a pack line takes at least 72
// bytes of the kMaxManifestBytes), and every stored chunk lies below
// kMaxFileSize in its pack: a chunk's pack number and offset share one
// 64-bit field.
inline constexpr std::uint32_t kMaxPackCount = 1u << 24;

// A piece of a file's content and where the server keeps it. 48 bytes: a
// large game lists close to a million.
struct ManifestChunk {
    ManifestChunk() = default;
    // `pack` below kMaxPackCount, `offset` below kMaxFileSize.
    ManifestChunk(std::uint32_t pack, std::uint64_t offset, const Sha256Digest& sha256, std::uint32_t size,
                  std::uint32_t storedSize)
        : sha256(sha256), size(size), storedSize(storedSize), place_(Place(pack, offset)) {}

    std::uint32_t Pack() const { return static_cast<std::uint32_t>(place_ >> kOffsetBits); }  // into Manifest::packs
    std::uint64_t Offset() const { return place_ & kOffsetMask; }  // of the stored bytes in the pack
    void SetPlace(std::uint32_t pack, std::uint64_t offset) { place_ = Place(pack, offset); }

    Sha256Digest sha256{};          // of the content
    std::uint32_t size = 0;         // of the content
    std::uint32_t storedSize = 0;   // in the pack: smaller when compressed

    bool IsCompressed() const { return storedSize < size; }
    friend bool operator==(const ManifestChunk&, const ManifestChunk&) = default;

private:
    static constexpr unsigned kOffsetBits = 40;
    static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
    static std::uint64_t Place(std::uint32_t pack, std::uint64_t offset) {
        return (std::uint64_t{pack} << kOffsetBits) | (offset & kOffsetMask);
    }

    std::uint64_t place_ = 0;  // the pack's number above the offset's 40 bits
};
static_assert(sizeof(ManifestChunk) == 48);

// What is kept of a chunk line of a manifest that serves only as a list of
// the copies the install holds (the local manifest while it is not the
// release): the first bytes of the digest and the size, 12 bytes against a
// ManifestChunk's 48. A copy found by them is read and checked against the
// release's whole digest before it serves, as every copy is.
struct ChunkKey {
    std::array<std::uint8_t, 8> digestStart{};
    std::uint32_t size = 0;

    friend bool operator==(const ChunkKey&, const ChunkKey&) = default;
};
static_assert(sizeof(ChunkKey) == 12);

inline ChunkKey KeyOf(const ManifestChunk& chunk) {
    ChunkKey key;
    std::copy_n(chunk.sha256.begin(), key.digestStart.size(), key.digestStart.begin());
    key.size = chunk.size;
    return key;
}

struct ManifestFile {
    Sha256Digest sha256{};      // of the file's content
    std::uint64_t size = 0;     // of the file's content
    ManifestPath path;          // relative, '/'-separated UTF-8
    // Its content in order, `chunkCount` chunks of Manifest::chunks from
    // `firstChunk` (Manifest::ChunksOf); none when empty.
    std::uint32_t firstChunk = 0;
    std::uint32_t chunkCount = 0;
    // The player's to edit (a `player-file` line): the content is a default,
    // installed where the file is missing and replaced only while the
    // player has not changed what the engine placed there.
    bool playerFile = false;

    friend bool operator==(const ManifestFile&, const ManifestFile&) = default;
};

struct Manifest {
    std::uint64_t version = 0;
    std::int64_t expires = 0;       // seconds since 1970-01-01T00:00:00Z
    std::uint64_t minUpdater = 0;   // lowest engine version that may apply it
    std::vector<ManifestPack> packs;
    std::vector<ManifestFile> files;
    // The chunks of every file, file after file in the order of the files:
    // one list rather than one per file.
    std::vector<ManifestChunk> chunks;
    // Folder URLs that hold the packs too, asked before the data URL's
    // folder (core/data_url.h: ParseMirrorUrl); none is fine. Written
    // between the key lines and the pack lines.
    std::vector<std::string> mirrors;
    std::uint64_t format = kManifestFormat;  // of the first line
    // Instead of `chunks`, for a manifest read keys-only
    // (ChunkLinesKept::KeysOnly) or cut by KeepOnlyChunkKeys: the same
    // lines, numbered the same.
    std::vector<ChunkKey> chunkKeys{};
    // Beside chunkKeys, of a manifest read with its stored places
    // (ChunkLinesKept::KeysAndPlaces), of each chunk line: where its stored
    // bytes lie (StoredPlace, manifest_content.h), how many they are, and
    // where the line begins in the text, from which its whole digest is
    // read again when a chunk is checked. 28 bytes a line with its key,
    // against a ManifestChunk's 48.
    std::vector<std::uint64_t> chunkPlaces{};
    std::vector<std::uint32_t> chunkStoredSizes{};
    std::vector<std::uint32_t> chunkLineStarts{};

    std::span<const ManifestChunk> ChunksOf(const ManifestFile& file) const {
        return std::span<const ManifestChunk>(chunks).subspan(file.firstChunk, file.chunkCount);
    }
    // Whether `chunks` lists the chunk lines, or only `chunkKeys` do: a
    // manifest kept so can say which copies the install holds, but nothing
    // can be built from it.
    bool HoldsChunks() const { return chunkKeys.empty(); }
    std::span<const ChunkKey> ChunkKeysOf(const ManifestFile& file) const {
        return std::span<const ChunkKey>(chunkKeys).subspan(file.firstChunk, file.chunkCount);
    }
    // Replaces the chunk lines by their keys, and frees the room they took.
    void KeepOnlyChunkKeys() {
        chunkKeys.reserve(chunks.size());
        for (const ManifestChunk& chunk : chunks) chunkKeys.push_back(KeyOf(chunk));
        std::vector<ManifestChunk>().swap(chunks);
    }
    // Lists `file` last, with `itsChunks` after the chunks listed so far.
    void AddFile(ManifestFile file, std::span<const ManifestChunk> itsChunks) {
        file.firstChunk = static_cast<std::uint32_t>(chunks.size());
        file.chunkCount = static_cast<std::uint32_t>(itsChunks.size());
        chunks.insert(chunks.end(), itsChunks.begin(), itsChunks.end());
        files.push_back(std::move(file));
    }

    friend bool operator==(const Manifest&, const Manifest&) = default;
};

// A manifest as read from its bytes, with what its signature covers.
struct SignedManifest {
    Manifest manifest;
    // The signature covers the first `signedLength` bytes of the text: from
    // the start up to and including the '\n' before the signature line.
    std::size_t signedLength = 0;
    ManifestSignature signature{};
};

}  // namespace velmora::engine
