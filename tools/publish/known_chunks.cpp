#include "known_chunks.h"

#include "server_folder.h"

namespace velmora::publish {

void KnownChunks::Add(const engine::Manifest& manifest, const std::filesystem::path& serverFolder) {
    for (const engine::ManifestFile& file : manifest.files)
        for (const engine::ManifestChunk& chunk : manifest.ChunksOf(file)) {
            if (chunks_.contains(chunk.sha256)) continue;
            const engine::ManifestPack& pack = manifest.packs[chunk.Pack()];
            const auto [size, unseen] = packSizes_.try_emplace(pack.name);
            if (unseen) {
                std::error_code error;
                const std::uintmax_t found = std::filesystem::file_size(PackFile(serverFolder, pack.name), error);
                if (!error) size->second = found;
            }
            if (size->second == pack.size)
                chunks_.emplace(chunk.sha256, KnownChunk{pack, chunk});
        }
}

const KnownChunk* KnownChunks::Find(const engine::Sha256Digest& sha256) const {
    const auto found = chunks_.find(sha256);
    return found == chunks_.end() ? nullptr : &found->second;
}

}  // namespace velmora::publish
