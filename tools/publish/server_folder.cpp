#include "server_folder.h"

#include "core/hex.h"
#include "core/manifest_parse.h"
#include "file_io.h"
#include "publish_error.h"
#include "signature_check.h"

namespace velmora::publish {

ServerManifest ReadManifestFile(const std::filesystem::path& file, const std::optional<PublicKeyBytes>& key) {
    std::string text = ReadWholeFile(file);
    const engine::SignatureCheck check = [&](std::string_view signedPart,
                                             const engine::ManifestSignature& signature) -> engine::Result<void> {
        if (key && !SignatureMatches(*key, signedPart, signature))
            return engine::InvalidFormat("the signature does not match the public key");
        return {};
    };
    auto parsed = engine::ParseSignedManifest(text, check);
    if (!parsed) throw PublishError(file.string() + " is not a valid manifest: " + parsed.Error().reason);
    return ServerManifest{std::move(text), std::move(parsed).Value()};
}

std::optional<ServerManifest> ReadServerManifest(const std::filesystem::path& folder,
                                                 const std::optional<PublicKeyBytes>& key) {
    const std::filesystem::path file = folder / kManifestFileName;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return std::nullopt;
    return ReadManifestFile(file, key);
}

std::filesystem::path PackFile(const std::filesystem::path& folder, const engine::Sha256Digest& name) {
    return folder / kPacksFolderName / engine::ToHex(name);
}

}  // namespace velmora::publish
