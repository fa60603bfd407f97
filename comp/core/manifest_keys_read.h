#pragma once
// Reading a manifest for its files and the chunk copies an install holds
// (the local manifest while it is not the release): its chunk lines kept
// as ChunkKeys from the start, so that the list of whole chunk lines, four
// times their size, is never held.
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/manifest_parse.h"

namespace velmora::engine {

// The digest of a chunk line, "chunk <pack> <offset> <sha256> ...", its
// '\n' cut off or not; nothing when the line is not one. For lines of a
// text read and checked before: the fields ahead of the digest are only
// skipped.
std::optional<Sha256Digest> ChunkLineDigest(std::string_view line);

// Gives the signed part of a manifest to `take` in pieces, from its start,
// each time it is called.
using SignedPartReading = std::function<Result<void>(const std::function<Result<void>(std::string_view)>& take)>;

// The signed part that `read` gives, parsed with every refusal
// ParseManifestBody has, its chunk lines kept as chunkKeys (no chunks).
// Read once where the keys settle the content rules; a second time where
// lines that must name one SHA-256 agree on the start the keys keep and
// their whole digests are compared; and whole, as ParseManifestBody reads
// it, where only that can tell: a refusal (whose reason it then gives) or
// lines of different sizes whose digests begin alike. `expectedFiles`,
// `expectedChunks`: as ManifestBodyReader takes them. With `kept`
// KeysAndPlaces, the lines' places are kept beside their keys; a manifest
// read whole then keeps its chunk lines whole.
Result<Manifest> ReadManifestKeysOnly(const SignedPartReading& read, std::size_t expectedFiles,
                                      std::size_t expectedChunks, ChunkLinesKept kept = ChunkLinesKept::KeysOnly);

}  // namespace velmora::engine
