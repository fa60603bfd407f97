#include "server_folder.h"

#include "core/hex.h"
#include "core/manifest_parse.h"
#include "file_io.h"
#include "publish_error.h"
#include "signature_check.h"
#include "stored_manifest.h"

namespace velmora::publish {

namespace {

engine::SignatureCheck CheckWith(const std::optional<PublicKeyBytes>& key) {
    return [key](std::string_view signedPart, const engine::ManifestSignature& signature) -> engine::Result<void> {
        if (key && !SignatureMatches(*key, signedPart, signature))
            return engine::InvalidFormat("the signature does not match the public key");
        return {};
    };
}

ServerManifest ParseManifestText(std::string text, const std::string& name, const std::optional<PublicKeyBytes>& key) {
    auto parsed = engine::ParseSignedManifest(text, CheckWith(key));
    if (!parsed) throw PublishError(name + " is not a valid manifest: " + parsed.Error().reason);
    return ServerManifest{std::move(text), std::move(parsed).Value(), std::nullopt};
}

// The head in `text`, its signature checked before it is parsed.
engine::ManifestHead ParseHeadText(std::string_view text, const std::string& name,
                                   const std::optional<PublicKeyBytes>& key) {
    const auto parts = engine::SplitSignatureLine(text);
    if (!parts) throw PublishError(name + " is not a valid head: " + parts.Error().reason);
    if (auto checked = CheckWith(key)(parts.Value().signedPart, parts.Value().signature); !checked)
        throw PublishError(name + " is not a valid head: " + checked.Error().reason);
    auto head = engine::ParseHeadBody(parts.Value().signedPart);
    if (!head) throw PublishError(name + " is not a valid head: " + head.Error().reason);
    return head.Value();
}

bool IsHeadFile(std::string_view text) {
    const auto parts = engine::SplitSignatureLine(text);
    return parts && engine::IsHeadText(parts.Value().signedPart);
}

}  // namespace

ServerManifest ReadManifestFile(const std::filesystem::path& file, const std::optional<PublicKeyBytes>& key) {
    return ParseManifestText(ReadWholeFile(file), file.string(), key);
}

std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder,
                                                 const std::optional<PublicKeyBytes>& key) {
    const std::filesystem::path file = folder / kManifestFileName;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return std::nullopt;
    std::string text = ReadWholeFile(file);
    if (!IsHeadFile(text)) return ParseManifestText(std::move(text), file.string(), key);
    const engine::ManifestHead head = ParseHeadText(text, file.string(), key);
    std::string problem;
    std::optional<std::string> manifestText = ReadStoredManifest(folder, head, problem);
    if (!manifestText) throw PublishError(file.string() + " names a manifest that is not there: " + problem);
    const std::string name = StoredManifestFile(folder, head.manifestSha256).string();
    ServerManifest manifest = ParseManifestText(std::move(*manifestText), name, key);
    if (auto agrees = engine::CheckHeadAgrees(head, manifest.parsed.manifest); !agrees)
        throw PublishError(file.string() + ": " + agrees.Error().reason);
    manifest.head = head;
    return manifest;
}

std::filesystem::path PackFile(const std::filesystem::path& folder, const engine::Sha256Digest& name) {
    return folder / kPacksFolderName / engine::ToHex(name);
}

}  // namespace velmora::publish
