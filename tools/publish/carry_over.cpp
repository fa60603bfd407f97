#include "carry_over.h"

#include "core/hex.h"
#include "file_io.h"
#include "publish_error.h"

namespace velmora::publish {

namespace fs = std::filesystem;

namespace {

bool HasPack(const fs::path& serverFolder, const engine::ManifestPack& pack) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(PackFile(serverFolder, pack.name), error);
    return !error && size == pack.size;
}

}  // namespace

CarriedOver CarryOver(const PreviousPublication& previous, const std::vector<const ServerManifest*>& kept,
                      const engine::Manifest& next, const fs::path& serverFolder, std::ostream& warnings) {
    CarriedOver carried;
    const auto bring = [&](const engine::ManifestPack& pack) {
        LinkOrCopy(PackFile(previous.folder, pack.name), PackFile(serverFolder, pack.name));
        ++carried.packs;
    };
    for (const engine::ManifestPack& pack : next.packs)
        if (!fs::exists(PackFile(serverFolder, pack.name))) bring(pack);
    const fs::path history = serverFolder / kHistoryFolderName;
    for (const ServerManifest* release : kept) {
        const engine::Manifest& manifest = release->parsed.manifest;
        for (const engine::ManifestPack& pack : manifest.packs) {
            if (HasPack(serverFolder, pack)) continue;
            if (HasPack(previous.folder, pack)) {
                bring(pack);
                continue;
            }
            warnings << "warning: " << previous.folder.string() << " lacks pack " << engine::ToHex(pack.name)
                     << " of version " << manifest.version << "; its chunks are not kept\n";
        }
        fs::create_directories(history);
        WriteNewFile(history / (std::to_string(manifest.version) + ".vel"), release->text, 0644);
        ++carried.historyManifests;
    }
    return carried;
}

}  // namespace velmora::publish
