#include "release_packing.h"

#include <algorithm>
#include <unordered_map>

#include "chunk_codec.h"
#include "core/digest_hash.h"
#include "core/hex.h"
#include "file_chunks.h"
#include "file_digest.h"
#include "pack_writer.h"
#include "publish_error.h"

namespace velmora::publish {
namespace {

// The place of each chunk of the release, found as its files are cut.
class ChunkPlacer {
public:
    ChunkPlacer(const std::filesystem::path& serverFolder, const EarlierChunks* earlier)
        : writer_(serverFolder), earlier_(earlier) {}

    engine::ManifestChunk Place(std::span<const std::uint8_t> content) {
        const engine::Sha256Digest sha256 = Sha256Of(content);
        const auto [slot, fresh] = placed_.try_emplace(sha256);
        if (!fresh) return slot->second;
        const KnownChunk* known = earlier_ ? earlier_->known.Find(sha256) : nullptr;
        slot->second = known ? Reuse(*known, content) : Store(sha256, content);
        return slot->second;
    }

    PackedRelease Finish(std::vector<engine::ManifestFile> files) {
        const std::vector<engine::ManifestPack> written = writer_.Finish();
        for (std::size_t i = 0; i < written.size(); ++i) result_.packs[newPackIndex_[i]] = written[i];
        result_.counts.newPacks = written.size();
        result_.files = std::move(files);
        return std::move(result_);
    }

private:
    engine::ManifestChunk Reuse(const KnownChunk& known, std::span<const std::uint8_t> content) {
        const auto stored = earlier_->packs.Read(known.pack, known.chunk);
        if (!stored || !std::equal(stored->begin(), stored->end(), content.begin(), content.end()))
            throw PublishError("the earlier publication in " + earlier_->packs.Folder().string() +
                               " is damaged: pack " + engine::ToHex(known.pack.name) + " does not hold chunk " +
                               engine::ToHex(known.chunk.sha256) + " at " + std::to_string(known.chunk.offset) +
                               " (velmora-publish verify tells more)");
        const auto [index, added] = earlierPackIndex_.try_emplace(known.pack.name, result_.packs.size());
        if (added) result_.packs.push_back(known.pack);
        ++result_.counts.reusedChunks;
        engine::ManifestChunk chunk = known.chunk;
        chunk.pack = static_cast<std::uint32_t>(index->second);
        return chunk;
    }

    engine::ManifestChunk Store(const engine::Sha256Digest& sha256, std::span<const std::uint8_t> content) {
        const auto compressed = CompressedIfItPays(content);
        const std::span<const std::uint8_t> stored = compressed ? std::span<const std::uint8_t>(*compressed) : content;
        const PackWriter::Place place = writer_.Append(stored);
        if (place.pack == newPackIndex_.size()) {
            newPackIndex_.push_back(result_.packs.size());
            result_.packs.emplace_back();  // named once the writer closes it
        }
        ++result_.counts.newChunks;
        result_.counts.newBytes += stored.size();
        return {static_cast<std::uint32_t>(newPackIndex_[place.pack]), place.offset, sha256,
                static_cast<std::uint32_t>(content.size()), static_cast<std::uint32_t>(stored.size())};
    }

    PackWriter writer_;
    const EarlierChunks* earlier_;
    PackedRelease result_;
    std::unordered_map<engine::Sha256Digest, engine::ManifestChunk, engine::DigestHash> placed_;
    std::unordered_map<engine::Sha256Digest, std::size_t, engine::DigestHash> earlierPackIndex_;
    std::vector<std::size_t> newPackIndex_;  // the manifest's number of each new pack
};

}  // namespace

PackedRelease PackRelease(const std::vector<ReleaseFile>& files, const std::filesystem::path& serverFolder,
                          const EarlierChunks* earlier) {
    ChunkPlacer placer(serverFolder, earlier);
    std::vector<engine::ManifestFile> manifestFiles;
    manifestFiles.reserve(files.size());
    for (const ReleaseFile& file : files) {
        engine::ManifestFile entry;
        entry.path = file.path;
        const FileContent content = CutFile(
            file.source, [&](std::span<const std::uint8_t> chunk) { entry.chunks.push_back(placer.Place(chunk)); });
        entry.sha256 = content.sha256;
        entry.size = content.size;
        manifestFiles.push_back(std::move(entry));
    }
    return placer.Finish(std::move(manifestFiles));
}

}  // namespace velmora::publish
