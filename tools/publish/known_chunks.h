#pragma once
// The chunks earlier releases stored, found by their content's SHA-256, so
// that a new release points at them instead of storing them again.
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "core/manifest.h"
#include "core/digest_hash.h"

namespace velmora::publish {

// Where an earlier release keeps a chunk.
struct KnownChunk {
    engine::ManifestPack pack;
    engine::ManifestChunk chunk;  // its `pack` numbers the earlier manifest's packs
};

class KnownChunks {
public:
    // Learns the chunks of `manifest` whose packs lie in `serverFolder`
    // with the size the manifest gives them; a chunk known already keeps
    // its first place, so add the preferred manifests first.
    void Add(const engine::Manifest& manifest, const std::filesystem::path& serverFolder);

    const KnownChunk* Find(const engine::Sha256Digest& sha256) const;

private:
    std::unordered_map<engine::Sha256Digest, KnownChunk, engine::DigestHash> chunks_;
    // The size of each pack seen so far in the folder, by name; nothing
    // when it is not there.
    std::unordered_map<engine::Sha256Digest, std::optional<std::uint64_t>, engine::DigestHash> packSizes_;
};

}  // namespace velmora::publish
