#include "server_folder.h"

#include "core/manifest_parse.h"
#include "file_io.h"
#include "publish_error.h"

namespace velmora::publish {

std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder) {
    const std::filesystem::path file = folder / kManifestFileName;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return std::nullopt;
    std::string text = ReadWholeFile(file);
    auto parsed = engine::ParseManifest(text);
    if (!parsed) throw PublishError(file.string() + " is not a valid manifest: " + parsed.Error().reason);
    return ServerManifest{std::move(text), std::move(parsed).Value()};
}

}  // namespace velmora::publish
