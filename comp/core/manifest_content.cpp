#include "core/manifest_content.h"

#include <cstring>
#include <unordered_map>

#include "core/hex.h"
#include "core/path_collisions.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

EngineError FileError(const ManifestFile& file, std::string_view problem) {
    return InvalidFormat("file '" + file.path + "': " + std::string(problem));
}

Result<void> CheckObjectName(const ManifestFile& file) {
    Sha256Digest named;
    const std::string_view object = file.object;
    const bool compressed = object.size() == 66 && object.ends_with(".z");
    if ((object.size() != 64 && !compressed) || !FromHex(object.substr(0, 64), named) || named != file.sha256)
        return FileError(file, "object '" + file.object + "' is not named after its SHA-256");
    if (!compressed && file.storedSize != file.size)
        return FileError(file, "object stored as is with a stored size other than its size");
    return {};
}

struct DigestHash {
    std::size_t operator()(const Sha256Digest& digest) const noexcept {
        std::size_t hash;  // a digest's bytes are already uniformly spread
        std::memcpy(&hash, digest.data(), sizeof hash);
        return hash;
    }
};

}  // namespace

Result<void> CheckManifestFiles(const std::vector<ManifestFile>& files) {
    std::unordered_map<Sha256Digest, std::uint64_t, DigestHash> sizeOfContent;
    std::unordered_map<std::string_view, std::uint64_t> storedSizeOfObject;
    sizeOfContent.reserve(files.size());
    storedSizeOfObject.reserve(files.size());
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
    for (const ManifestFile& file : files) {
        if (file.size > kMaxFileSize || file.storedSize > kMaxFileSize)
            return FileError(file, "size above 1 TiB");
        if (auto named = CheckObjectName(file); !named) return named;
        const auto content = sizeOfContent.try_emplace(file.sha256, file.size).first;
        if (content->second != file.size)
            return FileError(file, "same SHA-256 as another file but another size");
        const auto object = storedSizeOfObject.try_emplace(file.object, file.storedSize).first;
        if (object->second != file.storedSize)
            return FileError(file, "same object as another file but another stored size");
    }
    return {};
}

}  // namespace velmora::engine
