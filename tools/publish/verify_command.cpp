#include <ctime>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "amount_text.h"
#include "commands.h"
#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/signature_form.h"
#include "core/utc_time.h"
#include "core/digest_hash.h"
#include "file_digest.h"
#include "file_io.h"
#include "manifest_delta_writer.h"
#include "pack_reader.h"
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
    // The other valid form of a signature, which anyone can compute from
    // the published one: engines refuse it, whichever key made it.
    if (!engine::HasLowS(parts.Value().signature))
        throw PublishError("the signature of " + file.string() +
                           " has s in the upper half; engines accept only the low-s form");
    if (const NamedPublicKey* signer = FindSigningKey(candidates, parts.Value().signedPart, parts.Value().signature))
        return *signer;
    std::string tried;
    for (const NamedPublicKey& candidate : candidates)
        tried += (tried.empty() ? "" : ", ") + candidate.name + " (" + candidate.file.string() + ")";
    throw PublishError("the signature of " + file.string() + " does not match any of the keys given: " + tried);
}

// The damage found, one line each; past a screenful only counted.
class Problems {
public:
    void Add(const std::string& problem) {
        if (++count_ <= kShown) text_ += "\n  " + problem;
    }
    bool Any() const { return count_ > 0; }
    std::string Text() const {
        return count_ > kShown ? text_ + "\n  and " + std::to_string(count_ - kShown) + " more" : text_;
    }

private:
    static constexpr std::size_t kShown = 20;
    std::size_t count_ = 0;
    std::string text_;
};

// Whether each pack is there with the size the manifest gives it.
std::vector<bool> CheckPacks(const fs::path& folder, const engine::Manifest& manifest, Problems& problems) {
    std::vector<bool> present;
    for (const engine::ManifestPack& pack : manifest.packs) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(PackFile(folder, pack.name), error);
        if (error)
            problems.Add("missing pack " + engine::ToHex(pack.name));
        else if (size != pack.size)
            problems.Add("pack " + engine::ToHex(pack.name) + " has " + std::to_string(size) + " bytes, not " +
                         std::to_string(pack.size));
        present.push_back(!error && size == pack.size);
    }
    return present;
}

// Reads the file's chunks from their packs in order: each must unpack to
// its size and SHA-256, and together hash to the file's SHA-256. The first
// chunk that fails is reported, once however many files share it.
void CheckFile(const engine::Manifest& manifest, const engine::ManifestFile& file, const std::vector<bool>& packPresent,
               PackReader& reader, std::unordered_set<engine::Sha256Digest, engine::DigestHash>& reportedChunks,
               Problems& problems) {
    Sha256Stream whole;
    for (const engine::ManifestChunk& chunk : manifest.ChunksOf(file)) {
        if (!packPresent[chunk.Pack()]) return;  // reported with the pack
        const engine::ManifestPack& pack = manifest.packs[chunk.Pack()];
        const auto content = reader.Read(pack, chunk);
        if (!content || Sha256Of(*content) != chunk.sha256) {
            if (reportedChunks.insert(chunk.sha256).second)
                problems.Add("pack " + engine::ToHex(pack.name) + " does not hold chunk " +
                             engine::ToHex(chunk.sha256) + " at " + std::to_string(chunk.Offset()) + " (of " +
                             file.path + ")");
            return;
        }
        whole.Add(content->data(), content->size());
    }
    if (whole.Finish() != file.sha256) problems.Add("the chunks of " + file.path + " do not make its content");
}

// Each delta to the head's manifest must give its text from the manifest
// history/ keeps that it names. The number of deltas checked.
std::size_t CheckDeltas(const fs::path& folder, const ServerManifest& server, Problems& problems) {
    const fs::path deltas = folder / kDeltasFolderName / engine::ToHex(server.head->manifestSha256);
    std::error_code error;
    if (!fs::is_directory(deltas, error)) return 0;
    std::unordered_map<engine::Sha256Digest, std::string, engine::DigestHash> history;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder / kHistoryFolderName, error)) {
        std::string text = ReadWholeFile(entry.path());
        history.try_emplace(Sha256Of(text), std::move(text));
    }
    std::size_t checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(deltas)) {
        const std::string name = entry.path().filename().string();
        engine::Sha256Digest old{};
        const auto found = engine::FromHex(name, old) ? history.find(old) : history.end();
        if (found == history.end()) {
            problems.Add("manifest delta " + entry.path().string() + " is from no manifest history/ holds");
            continue;
        }
        std::string problem = "it gives another text";
        if (AppliedManifestDelta(ReadWholeFile(entry.path()), found->second, server.text.size(), problem) ==
            server.text) {
            ++checked;
            continue;
        }
        problems.Add("manifest delta " + entry.path().string() + " does not give the manifest: " + problem);
    }
    return checked;
}

}  // namespace

void RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& warnings) {
    std::vector<NamedPublicKey> candidates;
    for (const fs::path& file : options.publicKeys) candidates.push_back(LoadNamedPublicKey(file));
    const NamedPublicKey signer = SigningKeyOf(options.serverFolder, candidates);
    const std::optional<ServerManifest> server = ReadServerManifest(options.serverFolder, signer.key);
    if (!server) throw PublishError(options.serverFolder.string() + " has no gamedata.vel");
    const engine::Manifest& manifest = server->parsed.manifest;

    Problems problems;
    const std::vector<bool> packPresent = CheckPacks(options.serverFolder, manifest, problems);
    PackReader reader(options.serverFolder);
    // Every file, not only the first of each content: each file's own
    // chunk lines must make its content.
    std::unordered_set<engine::Sha256Digest, engine::DigestHash> chunks, reportedChunks;
    for (const engine::ManifestFile& file : manifest.files) {
        for (const engine::ManifestChunk& chunk : manifest.ChunksOf(file)) chunks.insert(chunk.sha256);
        CheckFile(manifest, file, packPresent, reader, reportedChunks, problems);
    }
    const std::size_t deltas = server->head ? CheckDeltas(options.serverFolder, *server, problems) : 0;
    if (problems.Any()) throw PublishError("the server folder is damaged:" + problems.Text());

    std::uint64_t storedBytes = 0;
    for (const engine::ManifestPack& pack : manifest.packs) storedBytes += pack.size;
    out << "ok: version " << manifest.version << ", expires " << engine::FormatUtcTime(manifest.expires)
        << ", min-updater " << manifest.minUpdater << ", " << Counted(manifest.files.size(), "file") << ", "
        << Counted(manifest.packs.size(), "pack") << ", " << Counted(chunks.size(), "chunk") << ", "
        << Counted(storedBytes, "byte") << " stored\n";
    if (server->head)
        out << "head names manifest " << engine::ToHex(server->head->manifestSha256) << ": "
            << Counted(server->head->manifestSize, "byte") << ", " << server->head->storedSize << " compressed; "
            << deltas << " manifest deltas to it from history/\n";
    out << "signed with key " << signer.name << " (" << signer.file.string() << ")\n";
    for (const std::string& mirror : manifest.mirrors) out << "mirror " << mirror << "\n";
    if (manifest.expires <= static_cast<std::int64_t>(std::time(nullptr)))
        warnings << "warning: this manifest has expired; engines refuse it\n";
}

}  // namespace velmora::publish
