#include <ctime>
#include <set>

#include "commands.h"
#include "core/utc_time.h"
#include "object_store.h"
#include "publish_error.h"
#include "server_folder.h"
#include "signature_check.h"

namespace velmora::publish {

void RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& warnings) {
    namespace fs = std::filesystem;
    const PublicKeyBytes key = LoadPublicKeyFile(options.publicKey);
    std::optional<ServerManifest> server;
    try {
        server = ReadServerManifest(options.serverFolder, key);
    } catch (const PublishError& refused) {
        throw PublishError(std::string(refused.what()) + " (" + options.publicKey.string() + ")");
    }
    if (!server) throw PublishError(options.serverFolder.string() + " has no gamedata.vel");
    const engine::SignedManifest& signedManifest = server->parsed;

    std::string problems;
    std::set<std::string> checked;
    std::uint64_t storedBytes = 0;
    for (const engine::ManifestFile& file : signedManifest.manifest.files) {
        if (!checked.insert(file.object).second) continue;
        const fs::path object = options.serverFolder / kObjectsFolderName / file.object;
        std::error_code error;
        const std::uint64_t size = fs::file_size(object, error);
        if (error) {
            problems += "\n  missing object " + file.object + " (" + file.path + ")";
            continue;
        }
        if (size != file.storedSize) {
            problems += "\n  object " + file.object + " has " + std::to_string(size) + " bytes, not " +
                        std::to_string(file.storedSize);
            continue;
        }
        try {
            const ObjectContent content = ReadObjectContent(object, file.IsCompressed());
            if (content.sha256 != file.sha256 || content.size != file.size)
                problems += "\n  object " + file.object + " does not hold the content of " + file.path;
        } catch (const PublishError& broken) {
            problems += "\n  ";
            problems += broken.what();
        }
        storedBytes += file.storedSize;
    }
    if (!problems.empty()) throw PublishError("the server folder is damaged:" + problems);

    const engine::Manifest& manifest = signedManifest.manifest;
    out << "ok: version " << manifest.version << ", expires " << engine::FormatUtcTime(manifest.expires)
        << ", min-updater " << manifest.minUpdater << ", " << manifest.files.size() << " files, "
        << checked.size() << " objects, " << storedBytes << " bytes stored\n";
    if (manifest.expires <= static_cast<std::int64_t>(std::time(nullptr)))
        warnings << "warning: this manifest has expired; engines refuse it\n";
}

}  // namespace velmora::publish
