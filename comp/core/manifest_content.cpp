#include "core/manifest_content.h"

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


}  // namespace

Result<void> CheckManifestContent(const Manifest& manifest) {
    const std::vector<ManifestFile>& files = manifest.files;
    // Safe paths first: the collision check relies on them.
    std::vector<std::string_view> paths;
    paths.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (const char* problem = PathProblem(file.path)) return FileError(file, problem);
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
    std::unordered_map<Sha256Digest, std::uint64_t, DigestHash> sizeOfContent;
    std::unordered_map<Sha256Digest, std::uint32_t, DigestHash> sizeOfChunk;
    sizeOfContent.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (file.size > kMaxFileSize) return FileError(file, "size above 1 TiB");
        const auto content = sizeOfContent.try_emplace(file.sha256, file.size).first;
        if (content->second != file.size) return FileError(file, "same SHA-256 as another file but another size");
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
    return {};
}

}  // namespace velmora::engine
