#include "core/manifest_content.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "core/case_fold.h"
#include "core/hex.h"
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
    // Folded paths, and a set of views into them (the vector never grows
    // past its reserve, so the views stay valid).
    std::vector<std::string> folded;
    folded.reserve(files.size());
    std::unordered_set<std::string_view> paths;
    std::unordered_map<Sha256Digest, std::uint64_t, DigestHash> sizeOfContent;
    std::unordered_map<std::string_view, std::uint64_t> storedSizeOfObject;
    paths.reserve(files.size());
    sizeOfContent.reserve(files.size());
    storedSizeOfObject.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (const char* problem = PathProblem(file.path)) return FileError(file, problem);
        folded.push_back(FoldCase(file.path));
        if (!paths.insert(folded.back()).second)
            return FileError(file, "listed twice (letters compared without case)");
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
    // A path that is also another path's folder cannot be both on disk.
    for (const std::string_view path : paths) {
        for (std::size_t slash = path.find('/'); slash != std::string_view::npos;
             slash = path.find('/', slash + 1)) {
            if (paths.contains(path.substr(0, slash)))
                return InvalidFormat("'" + std::string(path.substr(0, slash)) + "' is both a file and a folder");
        }
    }
    return {};
}

}  // namespace velmora::engine
