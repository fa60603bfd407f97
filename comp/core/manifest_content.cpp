#include "core/manifest_content.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "core/digest_hash.h"
#include "core/hex.h"
#include "core/path_collisions.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

EngineError FileError(const ManifestFile& file, std::string_view problem) {
    return InvalidFormat("file '" + file.path + "': " + std::string(problem));
}

// Where a chunk line says its stored bytes lie, and which file lists it.
struct StoredPlace {
    std::uint32_t pack;
    std::uint64_t offset;
    std::uint64_t end;
    const ManifestChunk* chunk;
    const ManifestFile* file;

    bool SameStoredChunk(const StoredPlace& other) const {
        return pack == other.pack && offset == other.offset && end == other.end &&
               chunk->sha256 == other.chunk->sha256;
    }
};

// Stored chunks may not overlap in their pack: a pack is read from front
// to back, and bytes that belong to two chunks could not be both of them
// anyway. Lines naming the very same place and content are one stored
// chunk, shared. Sorted by place: n log n.
Result<void> CheckStoredChunksApart(const std::vector<ManifestFile>& files) {
    std::vector<StoredPlace> places;
    for (const ManifestFile& file : files)
        for (const ManifestChunk& chunk : file.chunks)
            places.push_back({chunk.pack, chunk.offset, chunk.offset + chunk.storedSize, &chunk, &file});
    std::sort(places.begin(), places.end(), [](const StoredPlace& a, const StoredPlace& b) {
        if (a.pack != b.pack) return a.pack < b.pack;
        if (a.offset != b.offset) return a.offset < b.offset;
        if (a.end != b.end) return a.end < b.end;
        return a.chunk->sha256 < b.chunk->sha256;
    });
    for (std::size_t i = 1; i < places.size(); ++i) {
        const StoredPlace& before = places[i - 1];
        const StoredPlace& place = places[i];
        if (place.pack != before.pack || place.offset >= before.end || place.SameStoredChunk(before)) continue;
        return FileError(*place.file, "a chunk's stored bytes overlap those of another chunk (pack " +
                                          std::to_string(place.pack) + ", offset " + std::to_string(place.offset) +
                                          ", of '" + before.file->path + "')");
    }
    return {};
}


}  // namespace

Result<void> CheckManifestContent(const Manifest& manifest) {
    const std::vector<ManifestFile>& files = manifest.files;
    // Safe paths first: the collision check relies on them.
    std::vector<std::string_view> paths;
    paths.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (const char* problem = PathProblem(file.path)) return FileError(file, problem);
        if (file.playerFile && IsUpdaterFile(file.path))
            return FileError(file, "the updater's own files cannot be the player's to edit");
        paths.push_back(file.path);
    }
    if (const std::optional<PathCollision> collision = FindPathCollision(paths)) {
        const ManifestFile& first = files[collision->first];
        const ManifestFile& second = files[collision->second];
        if (collision->kind == PathCollision::Kind::SameFile)
            return FileError(second, "listed twice (as '" + first.path + "'; names compared as Windows compares them)");
        return InvalidFormat("'" + first.path + "' is both a file and a folder (of '" + second.path + "')");
    }

    std::unordered_set<Sha256Digest, DigestHash> packNames;
    for (const ManifestPack& pack : manifest.packs) {
        if (pack.size > kMaxFileSize) return InvalidFormat("pack " + ToHex(pack.name) + ": size above 1 TiB");
        if (!packNames.insert(pack.name).second) return InvalidFormat("pack " + ToHex(pack.name) + " listed twice");
    }
    // The first file of each content: every other file of that content
    // must list the same chunks, so that whichever of them the content is
    // built from, it is built the same.
    std::unordered_map<Sha256Digest, const ManifestFile*, DigestHash> firstOfContent;
    std::unordered_map<Sha256Digest, std::uint32_t, DigestHash> sizeOfChunk;
    firstOfContent.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (file.size > kMaxFileSize) return FileError(file, "size above 1 TiB");
        const ManifestFile& first = *firstOfContent.try_emplace(file.sha256, &file).first->second;
        if (first.size != file.size) return FileError(file, "same SHA-256 as another file but another size");
        if (first.chunks != file.chunks)
            return FileError(file, "same SHA-256 as '" + first.path + "' but other chunks");
        std::uint64_t chunked = 0;
        for (const ManifestChunk& chunk : file.chunks) {
            if (chunk.size == 0 || chunk.size > kMaxChunkSize) return FileError(file, "a chunk is empty or too large");
            if (chunk.storedSize == 0 || chunk.storedSize > chunk.size)
                return FileError(file, "a chunk's stored size is 0 or above its size");
            if (chunk.pack >= manifest.packs.size()) return FileError(file, "a chunk names a pack not listed");
            const std::uint64_t packSize = manifest.packs[chunk.pack].size;
            if (chunk.offset > packSize || chunk.storedSize > packSize - chunk.offset)
                return FileError(file, "a chunk lies outside its pack");
            const auto same = sizeOfChunk.try_emplace(chunk.sha256, chunk.size).first;
            if (same->second != chunk.size) return FileError(file, "same chunk SHA-256 as another but another size");
            chunked += chunk.size;
        }
        if (chunked != file.size) return FileError(file, "its chunks do not add up to its size");
    }
    return CheckStoredChunksApart(files);
}

}  // namespace velmora::engine
