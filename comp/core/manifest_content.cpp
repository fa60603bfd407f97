#include "core/manifest_content.h"

#include <unordered_map>
#include <unordered_set>

#include "core/hex.h"
#include "core/path_rules.h"

namespace velmora::engine {
namespace {

EngineError FileError(const ManifestFile& file, std::string_view problem) {
    return InvalidFormat("file '" + file.path + "': " + std::string(problem));
}

Result<void> CheckObjectName(const ManifestFile& file) {
    const std::string hex = ToHex(file.sha256);
    if (file.object != hex && file.object != hex + ".z")
        return FileError(file, "object '" + file.object + "' is not named after its SHA-256");
    if (!file.IsCompressed() && file.storedSize != file.size)
        return FileError(file, "object stored as is with a stored size other than its size");
    return {};
}

}  // namespace

Result<void> CheckManifestFiles(const std::vector<ManifestFile>& files) {
    std::unordered_set<std::string> paths;
    std::unordered_map<std::string, std::uint64_t> sizeOfContent;  // by hex SHA-256
    std::unordered_map<std::string, std::uint64_t> storedSizeOfObject;
    paths.reserve(files.size());
    for (const ManifestFile& file : files) {
        if (const char* problem = PathProblem(file.path)) return FileError(file, problem);
        if (!paths.insert(FoldAsciiCase(file.path)).second)
            return FileError(file, "listed twice (letters compared without case)");
        if (file.size > kMaxFileSize || file.storedSize > kMaxFileSize)
            return FileError(file, "size above 1 TiB");
        if (auto named = CheckObjectName(file); !named) return named;
        const auto content = sizeOfContent.try_emplace(ToHex(file.sha256), file.size).first;
        if (content->second != file.size)
            return FileError(file, "same SHA-256 as another file but another size");
        const auto object = storedSizeOfObject.try_emplace(file.object, file.storedSize).first;
        if (object->second != file.storedSize)
            return FileError(file, "same object as another file but another stored size");
    }
    // A path that is also another path's folder cannot be both on disk.
    for (const std::string& path : paths) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            if (paths.contains(path.substr(0, slash)))
                return InvalidFormat("'" + path.substr(0, slash) + "' is both a file and a folder");
        }
    }
    return {};
}

}  // namespace velmora::engine
