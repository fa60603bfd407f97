#include <ctime>
#include <set>
#include <vector>

#include "commands.h"
#include "core/manifest_parse.h"
#include "core/utc_time.h"
#include "file_io.h"
#include "object_store.h"
#include "publish_error.h"
#include "server_folder.h"
#include "signature_check.h"

namespace velmora::publish {
namespace {

namespace fs = std::filesystem;

// The candidate that signed the manifest of `folder`, found from its
// signature line alone, as the engine checks it before it reads the rest.
NamedPublicKey SigningKeyOf(const fs::path& folder, const std::vector<NamedPublicKey>& candidates) {
    const fs::path file = folder / kManifestFileName;
    std::error_code error;
    if (!fs::exists(file, error)) throw PublishError(folder.string() + " has no gamedata.vel");
    const std::string text = ReadWholeFile(file);
    const auto parts = engine::SplitSignatureLine(text);
    if (!parts) throw PublishError(file.string() + " is not a valid manifest: " + parts.Error().reason);
    if (const NamedPublicKey* signer = FindSigningKey(candidates, parts.Value().signedPart, parts.Value().signature))
        return *signer;
    std::string tried;
    for (const NamedPublicKey& candidate : candidates)
        tried += (tried.empty() ? "" : ", ") + candidate.name + " (" + candidate.file.string() + ")";
    throw PublishError("the signature of " + file.string() + " does not match any of the keys given: " + tried);
}

}  // namespace

void RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& warnings) {
    std::vector<NamedPublicKey> candidates;
    for (const fs::path& file : options.publicKeys) candidates.push_back(LoadNamedPublicKey(file));
    const NamedPublicKey signer = SigningKeyOf(options.serverFolder, candidates);
    const std::optional<ServerManifest> server = ReadServerManifest(options.serverFolder, signer.key);
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
        << checked.size() << " objects, " << storedBytes << " bytes stored\n"
        << "signed with key " << signer.name << " (" << signer.file.string() << ")\n";
    if (manifest.expires <= static_cast<std::int64_t>(std::time(nullptr)))
        warnings << "warning: this manifest has expired; engines refuse it\n";
}

}  // namespace velmora::publish
