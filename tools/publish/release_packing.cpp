#include "release_packing.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_map>

#include "chunk_codec.h"
#include "core/digest_hash.h"
#include "core/hex.h"
#include "file_chunks.h"
#include "file_digest.h"
#include "pack_writer.h"
#include "publish_progress.h"
#include "publish_error.h"
#include "worker_threads.h"

namespace velmora::publish {
namespace {

// A chunk as it was cut, with what a worker worked out for it.
struct PreparedChunk {
    std::vector<std::uint8_t> content;
    engine::Sha256Digest sha256{};
    // Its stored form when it pays to compress; left out for a chunk an
    // earlier release stored already, which is reused as it was stored.
    std::optional<std::vector<std::uint8_t>> compressed;
};

PreparedChunk Prepare(std::vector<std::uint8_t> content, const KnownChunks* known, int compressionLevel) {
    PreparedChunk prepared{std::move(content), {}, std::nullopt};
    prepared.sha256 = Sha256Of(prepared.content);
    if (!known || !known->Find(prepared.sha256))
        prepared.compressed = CompressedIfItPays(prepared.content, compressionLevel);
    return prepared;
}

// The place of each chunk of the release, given in the order its files
// list them.
class ChunkPlacer {
public:
    ChunkPlacer(const std::filesystem::path& serverFolder, const EarlierChunks* earlier)
        : writer_(serverFolder), earlier_(earlier) {}

    engine::ManifestChunk Place(const PreparedChunk& chunk) {
        const auto [slot, fresh] = placed_.try_emplace(chunk.sha256);
        if (!fresh) return slot->second;
        const KnownChunk* known = earlier_ ? earlier_->known.Find(chunk.sha256) : nullptr;
        slot->second = known ? Reuse(*known, chunk.content) : Store(chunk);
        return slot->second;
    }

    PackedRelease Finish(std::vector<engine::ManifestFile> files, std::vector<engine::ManifestChunk> chunks) {
        const std::vector<engine::ManifestPack> written = writer_.Finish();
        for (std::size_t i = 0; i < written.size(); ++i) result_.packs[newPackIndex_[i]] = written[i];
        result_.counts.newPacks = written.size();
        result_.files = std::move(files);
        result_.chunks = std::move(chunks);
        return std::move(result_);
    }

private:
    engine::ManifestChunk Reuse(const KnownChunk& known, std::span<const std::uint8_t> content) {
        const auto stored = earlier_->packs.Read(known.pack, known.chunk);
        if (!stored || !std::equal(stored->begin(), stored->end(), content.begin(), content.end()))
            throw PublishError("the earlier publication in " + earlier_->packs.Folder().string() +
                               " is damaged: pack " + engine::ToHex(known.pack.name) + " does not hold chunk " +
                               engine::ToHex(known.chunk.sha256) + " at " + std::to_string(known.chunk.Offset()) +
                               " (velmora-publish verify tells more)");
        const auto [index, added] = earlierPackIndex_.try_emplace(known.pack.name, result_.packs.size());
        if (added) result_.packs.push_back(known.pack);
        ++result_.counts.reusedChunks;
        engine::ManifestChunk chunk = known.chunk;
        chunk.SetPlace(static_cast<std::uint32_t>(index->second), chunk.Offset());
        return chunk;
    }

    engine::ManifestChunk Store(const PreparedChunk& chunk) {
        const std::span<const std::uint8_t> stored =
            chunk.compressed ? std::span<const std::uint8_t>(*chunk.compressed) : chunk.content;
        const PackWriter::Place place = writer_.Append(stored);
        if (place.pack == newPackIndex_.size()) {
            newPackIndex_.push_back(result_.packs.size());
            result_.packs.emplace_back();  // named once the writer closes it
        }
        ++result_.counts.newChunks;
        result_.counts.newBytes += stored.size();
        return {static_cast<std::uint32_t>(newPackIndex_[place.pack]), place.offset, chunk.sha256,
                static_cast<std::uint32_t>(chunk.content.size()), static_cast<std::uint32_t>(stored.size())};
    }

    PackWriter writer_;
    const EarlierChunks* earlier_;
    PackedRelease result_;
    std::unordered_map<engine::Sha256Digest, engine::ManifestChunk, engine::DigestHash> placed_;
    std::unordered_map<engine::Sha256Digest, std::size_t, engine::DigestHash> earlierPackIndex_;
    std::vector<std::size_t> newPackIndex_;  // the manifest's number of each new pack
};

std::uint64_t TotalSize(const std::vector<ReleaseFile>& files) {
    std::uint64_t total = 0;
    for (const ReleaseFile& file : files) total += std::filesystem::file_size(file.source);
    return total;
}

}  // namespace

PackedRelease PackRelease(const std::vector<ReleaseFile>& files, const std::filesystem::path& serverFolder,
                          const EarlierChunks* earlier, const PackingSettings& settings) {
    // Declared first, so that it is gone last: the workers' tasks are over
    // before anything they could reach goes.
    ChunkPlacer placer(serverFolder, earlier);
    WorkerThreads workers(settings.workers > 1 ? settings.workers : 0);
    // The chunks handed to the workers, oldest first: they are placed in
    // this order, whichever worker ends first, so that the packs and the
    // manifest do not depend on the worker count. A few per worker keep
    // them all busy while bounding the memory held.
    const std::size_t window = 4 * std::max(settings.workers, 1u);
    struct InFlight {
        std::size_t file;
        std::future<PreparedChunk> chunk;
    };
    std::deque<InFlight> inFlight;
    std::vector<engine::ManifestFile> manifestFiles(files.size());
    // Chunks are placed in the order they were cut, so each file's follow
    // the previous file's.
    std::vector<engine::ManifestChunk> chunks;
    std::size_t cut = 0;
    const auto placeOldest = [&] {
        InFlight& oldest = inFlight.front();
        chunks.push_back(placer.Place(oldest.chunk.get()));
        ++manifestFiles[oldest.file].chunkCount;
        inFlight.pop_front();
    };
    const KnownChunks* known = earlier ? &earlier->known : nullptr;
    std::optional<PublishProgress> progress;
    if (settings.progressTerminal) progress.emplace(*settings.progressTerminal, files.size(), TotalSize(files));
    for (std::size_t i = 0; i < files.size(); ++i) {
        manifestFiles[i].path = files[i].path;
        manifestFiles[i].firstChunk = static_cast<std::uint32_t>(cut);
        const FileContent content = CutFile(files[i].source, [&](std::span<const std::uint8_t> chunk) {
            if (inFlight.size() >= window) placeOldest();
            std::vector<std::uint8_t> copy(chunk.begin(), chunk.end());
            ++cut;
            const int level = settings.compressionLevel;
            inFlight.push_back({i, workers.Post([copy = std::move(copy), known, level]() mutable {
                                    return Prepare(std::move(copy), known, level);
                                })});
            if (progress) progress->BytesRead(chunk.size());
        });
        manifestFiles[i].sha256 = content.sha256;
        manifestFiles[i].size = content.size;
        if (progress) progress->FileDone();
    }
    while (!inFlight.empty()) placeOldest();
    return placer.Finish(std::move(manifestFiles), std::move(chunks));
}

}  // namespace velmora::publish
