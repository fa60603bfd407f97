#pragma once
// The manifest `gamedata.vel` in memory: what a server publishes and what the
// engine applied last. docs/update-format.md describes the text form.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
// engine holds the text whole in memory, and a 32-bit process has 2 GiB of
// address space for it, the local manifest's and their parsed forms.
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

// A piece of a file's content and where the server keeps it.
struct ManifestChunk {
    std::uint32_t pack = 0;         // index into Manifest::packs
    std::uint64_t offset = 0;       // of the stored bytes in the pack
    Sha256Digest sha256{};          // of the content
    std::uint32_t size = 0;         // of the content
    std::uint32_t storedSize = 0;   // in the pack: smaller when compressed

    bool IsCompressed() const { return storedSize < size; }
    friend bool operator==(const ManifestChunk&, const ManifestChunk&) = default;
};

struct ManifestFile {
    Sha256Digest sha256{};      // of the file's content
    std::uint64_t size = 0;     // of the file's content
    std::string path;           // relative, '/'-separated UTF-8
    std::vector<ManifestChunk> chunks;  // the content in order; none when empty
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
    // Folder URLs that hold the packs too, asked before the data URL's
    // folder (core/data_url.h: ParseMirrorUrl); none is fine. Written
    // between the key lines and the pack lines.
    std::vector<std::string> mirrors;
    std::uint64_t format = kManifestFormat;  // of the first line

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
