#include "stored_manifest.h"

#include <zlib.h>

#include <system_error>

#include "core/hex.h"
#include "core/manifest_parse.h"
#include "core/manifest_write.h"
#include "file_digest.h"
#include "file_io.h"
#include "publish_error.h"
#include "signature_check.h"

namespace velmora::publish {

namespace fs = std::filesystem;

std::string Compressed(std::string_view text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                  static_cast<uLong>(text.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw PublishError("cannot compress a manifest's text");
    out.resize(size);
    return out;
}

fs::path StoredManifestFile(const fs::path& folder, const engine::Sha256Digest& sha256) {
    return folder / kManifestsFolderName / engine::ToHex(sha256);
}

engine::ManifestHead StoreManifest(const fs::path& folder, const engine::Manifest& manifest,
                                   std::string_view manifestText) {
    const engine::Sha256Digest sha256 = Sha256Of(manifestText);
    const fs::path file = StoredManifestFile(folder, sha256);
    const std::string stored = Compressed(manifestText);
    std::error_code error;
    if (!fs::exists(file, error)) {
        fs::create_directories(file.parent_path());
        WriteNewFile(file, stored, 0644);
    }
    return engine::HeadFor(manifest, sha256, manifestText.size(), stored.size());
}

std::string SignedHeadText(const engine::ManifestHead& head, const SigningKey& key) {
    const std::string body = engine::HeadBody(head);
    std::string text = engine::WithSignature(body, key.Sign(body));
    // Read back as an engine reads it before it goes live.
    const auto parts = engine::SplitSignatureLine(text);
    const auto reread = engine::ParseHeadBody(body);
    if (!parts || parts.Value().signedPart != body ||
        !SignatureMatches(key.PublicKey(), body, parts.Value().signature) || !reread || reread.Value() != head)
        throw PublishError("the written head does not read back as written; nothing was published");
    return text;
}

std::optional<std::string> ReadStoredManifest(const fs::path& folder, const engine::ManifestHead& head,
                                              std::string& problem) {
    const fs::path file = StoredManifestFile(folder, head.manifestSha256);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error) {
        problem = "missing manifest " + file.string();
        return std::nullopt;
    }
    if (size != head.storedSize) {
        problem = "manifest " + file.string() + " has " + std::to_string(size) + " bytes, the head names " +
                  std::to_string(head.storedSize);
        return std::nullopt;
    }
    const std::string stored = ReadWholeFile(file);
    std::string text(head.manifestSize, '\0');
    uLongf textSize = static_cast<uLongf>(text.size());
    uLong storedSize = static_cast<uLong>(stored.size());
    if (uncompress2(reinterpret_cast<Bytef*>(text.data()), &textSize, reinterpret_cast<const Bytef*>(stored.data()),
                    &storedSize) != Z_OK ||
        textSize != text.size() || storedSize != stored.size()) {
        problem = "manifest " + file.string() + " does not unpack to the " + std::to_string(head.manifestSize) +
                  " bytes the head names";
        return std::nullopt;
    }
    if (Sha256Of(text) != head.manifestSha256) {
        problem = "manifest " + file.string() + " is not the text the head names (its SHA-256 differs)";
        return std::nullopt;
    }
    return text;
}

}  // namespace velmora::publish
