#include <algorithm>
#include <ctime>

#include "amount_text.h"
#include "carry_over.h"
#include "change_report.h"
#include "commands.h"
#include "core/manifest_content.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "core/utc_time.h"
#include "download_report.h"
#include "file_io.h"
#include "known_chunks.h"
#include "manifest_delta_writer.h"
#include "player_files.h"
#include "pack_numbers.h"
#include "pack_reader.h"
#include "previous_publication.h"
#include "publish_error.h"
#include "release_folder.h"
#include "release_packing.h"
#include "server_folder.h"
#include "signature_check.h"
#include "signing_key.h"
#include "staging_folder.h"
#include "stored_manifest.h"

namespace velmora::publish {
namespace {

namespace fs = std::filesystem;

// The publication the new one follows: --previous when given, else what
// --out holds now. An existing --out must be a server folder (or empty), so
// that a mistyped path never replaces an unrelated folder.
std::optional<PreviousPublication> FindPreviousPublication(const PublishOptions& options) {
    std::error_code error;
    std::optional<PreviousPublication> current;
    if (fs::exists(options.out, error)) {
        if (!fs::is_directory(options.out, error))
            throw PublishError(options.out.string() + " exists and is not a folder");
        current = ReadPreviousPublication(options.out);
        if (!current && !fs::is_empty(options.out, error))
            throw PublishError("refusing to replace " + options.out.string() +
                               ": it is not a server folder (it has no gamedata.vel)");
    }
    if (!options.previous) return current;
    auto previous = ReadPreviousPublication(*options.previous);
    if (!previous) throw PublishError(options.previous->string() + " has no gamedata.vel");
    return previous;
}

bool IsInside(const fs::path& inner, const fs::path& outer) {
    const fs::path a = fs::weakly_canonical(inner), b = fs::weakly_canonical(outer);
    const auto [end, ignored] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return end == b.end();
}

struct BuiltRelease {
    engine::Manifest manifest;
    PackingCounts counts;
};

// Cuts the release into chunks, stores the new ones in packs of
// `serverFolder`, and gives the manifest that lists it all. `progress` is
// the terminal the progress shows on when options.showProgress says so.
BuiltRelease BuildRelease(const PublishOptions& options, const std::vector<ReleaseFile>& files,
                          const fs::path& serverFolder, const PreviousPublication* previous, std::ostream& progress) {
    fs::create_directory(serverFolder / kPacksFolderName);
    KnownChunks known;
    std::optional<PackReader> earlierPacks;
    std::optional<EarlierChunks> earlier;
    if (previous) {
        for (const ServerManifest* release : previous->Releases())
            known.Add(release->parsed.manifest, previous->folder);
        earlierPacks.emplace(previous->folder);
        earlier.emplace(known, *earlierPacks);
    }
    const PackingSettings settings{options.workers, options.compressionLevel, options.showProgress ? &progress : nullptr};
    PackedRelease packed = PackRelease(files, serverFolder, earlier ? &*earlier : nullptr, settings);
    if (previous) KeepEarlierPackNumbers(packed, previous->current.parsed.manifest);
    BuiltRelease built{{options.version, options.expires, options.minUpdater, std::move(packed.packs),
                        std::move(packed.files), std::move(packed.chunks), options.mirrors},
                       packed.counts};
    MarkPlayerFiles(built.manifest.files, options.playerFiles);
    if (auto valid = engine::CheckManifestContent(built.manifest); !valid)
        throw PublishError("the release cannot be published: " + valid.Error().reason);
    return built;
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
    const std::optional<PreviousPublication> previous = FindPreviousPublication(options);
    const engine::Manifest* before = previous ? &previous->current.parsed.manifest : nullptr;
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
    const BuiltRelease built = BuildRelease(options, files, staging.Path(), previous ? &*previous : nullptr, warnings);
    const engine::Manifest& manifest = built.manifest;
    std::optional<CarriedOver> carried;
    if (previous)
        carried =
            CarryOver(*previous, KeptHistory(*previous, options.keepReleases), manifest, staging.Path(), warnings);
    // The manifests history keeps stay reachable under their names too: a
    // cache may serve the previous head for a while after this one is out.
    if (previous)
        for (const ServerManifest* release : KeptHistory(*previous, options.keepReleases))
            StoreManifest(staging.Path(), release->parsed.manifest, release->text);
    const std::string manifestText = SignedManifestText(manifest, key);
    const engine::ManifestHead head = StoreManifest(staging.Path(), manifest, manifestText);
    // A player whose local manifest is one history keeps fetches the delta
    // from it, where one pays, instead of the whole manifest.
    std::size_t deltas = 0;
    if (previous)
        for (const ServerManifest* release : KeptHistory(*previous, options.keepReleases))
            deltas += StoreManifestDelta(staging.Path(), release->text, manifestText, head) ? 1 : 0;
    WriteNewFile(staging.Path() / kManifestFileName, SignedHeadText(head, key), 0644);
    staging.ReplaceDestination();

    out << "published version " << manifest.version << " to " << options.out.string() << ": "
        << manifest.files.size() << " files, expires " << engine::FormatUtcTime(manifest.expires) << "\n"
        << "stored " << Counted(built.counts.newChunks, "new chunk") << ", " << SizeText(built.counts.newBytes)
        << ", in " << Counted(built.counts.newPacks, "new pack") << "; reused "
        << Counted(built.counts.reusedChunks, "chunk") << " of earlier releases\n";
    if (carried)
        out << "brought over " << Counted(carried->packs, "pack") << " of earlier releases; history keeps "
            << Counted(carried->historyManifests, "manifest") << ", " << deltas << " with a delta to this one\n";
    if (before) out << "changes against version " << before->version << ":\n";
    out << FormatChangeReport(CompareManifests(before, manifest));
    // The releases history keeps, and the previous one in any case.
    std::vector<const engine::Manifest*> earlier;
    if (previous)
        for (const ServerManifest* release : KeptHistory(*previous, std::max<std::uint64_t>(options.keepReleases, 1)))
            earlier.push_back(&release->parsed.manifest);
    out << "to download:\n" << FormatDownloads(manifest, earlier);
}

}  // namespace velmora::publish
