#include <algorithm>
#include <ctime>
#include <unordered_map>

#include "change_report.h"
#include "commands.h"
#include "core/hex.h"
#include "core/manifest_content.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/utc_time.h"
#include "file_digest.h"
#include "file_io.h"
#include "object_store.h"
#include "publish_error.h"
#include "release_folder.h"
#include "server_folder.h"
#include "signature_check.h"
#include "signing_key.h"
#include "staging_folder.h"

namespace velmora::publish {
namespace {

namespace fs = std::filesystem;

// The publication the new one follows: --previous when given, else what
// --out holds now. An existing --out must be a server folder (or empty), so
// that a mistyped path never replaces an unrelated folder.
std::optional<ServerManifest> PreviousPublication(const PublishOptions& options) {
    std::error_code error;
    std::optional<ServerManifest> current;
    if (fs::exists(options.out, error)) {
        if (!fs::is_directory(options.out, error))
            throw PublishError(options.out.string() + " exists and is not a folder");
        current = ReadServerManifest(options.out, std::nullopt);
        if (!current && !fs::is_empty(options.out, error))
            throw PublishError("refusing to replace " + options.out.string() +
                               ": it is not a server folder (it has no gamedata.vel)");
    }
    if (!options.previous) return current;
    auto previous = ReadServerManifest(*options.previous, std::nullopt);
    if (!previous) throw PublishError(options.previous->string() + " has no gamedata.vel");
    return previous;
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    const fs::path a = fs::weakly_canonical(inner), b = fs::weakly_canonical(outer);
    const auto [end, ignored] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return end == b.end();
}

// Hashes every release file and stores each distinct content once.
engine::Manifest BuildManifest(const PublishOptions& options, const std::vector<ReleaseFile>& files,
                               const fs::path& objectsFolder) {
    engine::Manifest manifest;
    manifest.version = options.version;
    manifest.expires = options.expires;
    manifest.minUpdater = options.minUpdater;
    std::unordered_map<std::string, StoredObject> stored;  // by hex SHA-256
    for (const ReleaseFile& file : files) {
        const engine::Sha256Digest sha256 = Sha256OfFile(file.source);
        const auto [slot, fresh] = stored.try_emplace(engine::ToHex(sha256));
        if (fresh) slot->second = StoreObject(file.source, sha256, objectsFolder);
        manifest.files.push_back(
            {sha256, fs::file_size(file.source), slot->second.name, slot->second.storedSize, file.path});
    }
    if (auto valid = engine::CheckManifestFiles(manifest.files); !valid)
        throw PublishError("the release cannot be published: " + valid.Error().reason);
    return manifest;
}

// The signed file, read back as an engine reads it before it goes live.
std::string SignedManifestText(const engine::Manifest& manifest, const SigningKey& key) {
    const std::string body = engine::ManifestBody(manifest);
    const engine::ManifestSignature signature = key.Sign(body);
    std::string text = engine::WithSignature(body, signature);
    const auto check = [&](std::string_view signedPart,
                           const engine::ManifestSignature& read) -> engine::Result<void> {
        if (!SignatureMatches(key.PublicKey(), signedPart, read)) return engine::InvalidFormat("signature");
        return {};
    };
    const auto reread = engine::ParseSignedManifest(text, check);
    if (!reread || reread.Value().manifest != manifest || reread.Value().signedLength != body.size())
        throw PublishError("the written manifest does not read back as written; nothing was published");
    return text;
}

}  // namespace

void RunPublish(const PublishOptions& options, std::ostream& out, std::ostream& warnings) {
    const SigningKey key = SigningKey::LoadPem(options.key);
    const std::optional<ServerManifest> previous = PreviousPublication(options);
    const engine::Manifest* before = previous ? &previous->parsed.manifest : nullptr;
    if (before && options.version <= before->version)
        throw PublishError("version " + std::to_string(options.version) +
                           " is not higher than the previous publication's version " +
                           std::to_string(before->version));
    if (IsInside(options.out, options.release) || IsInside(options.release, options.out))
        throw PublishError("the release folder and --out must not contain one another");
    if (options.expires <= static_cast<std::int64_t>(std::time(nullptr)))
        warnings << "warning: expiry " << engine::FormatUtcTime(options.expires)
                 << " is already past; engines will refuse this manifest\n";

    const std::vector<ReleaseFile> files = ListReleaseFiles(options.release);
    StagingFolder staging(options.out);
    const fs::path objects = staging.Path() / kObjectsFolderName;
    fs::create_directory(objects);
    const engine::Manifest manifest = BuildManifest(options, files, objects);
    WriteNewFile(staging.Path() / kManifestFileName, SignedManifestText(manifest, key), 0644);
    staging.ReplaceDestination();

    out << "published version " << manifest.version << " to " << options.out.string() << ": "
        << manifest.files.size() << " files, expires " << engine::FormatUtcTime(manifest.expires) << "\n";
    if (before) out << "changes against version " << before->version << ":\n";
    out << FormatChangeReport(CompareManifests(before, manifest));
}

}  // namespace velmora::publish
