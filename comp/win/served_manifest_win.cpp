#include "served_manifest_win.h"

#include <span>

#include "core/hex.h"
#include "core/inflate_stream.h"
#include "core/manifest_acceptance.h"
#include "core/manifest_head.h"
#include "core/manifest_parse.h"
#include "manifest_delta_fetch_win.h"
#include "server_fetch_win.h"
#include "sha256_win.h"
#include "signature_win.h"

namespace velmora::engine {
namespace {

std::span<const std::uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

Result<Sha256Digest> DigestOf(std::string_view text) {
    Sha256 hash;
    if (auto added = hash.Update(BytesOf(text)); !added) return added.Error();
    return hash.Finish();
}

// Whether the head names the local manifest: the same size and SHA-256 of
// the whole text, and the same version.
Result<bool> NamesLocal(const ManifestHead& head, const std::optional<ManifestText>& local) {
    if (!local || local->bytes.size() != head.manifestSize || local->parsed.manifest.version != head.version)
        return false;
    auto digest = DigestOf(local->bytes);
    if (!digest) return digest.Error();
    return digest.Value() == head.manifestSha256;
}

// The stored manifest unpacked: exactly the head's size, and its SHA-256.
Result<std::string> Unpacked(const std::string& stored, const ManifestHead& head) {
    std::string text;
    text.reserve(static_cast<std::size_t>(head.manifestSize));
    InflateStream inflate(head.manifestSize, [&text](std::span<const std::uint8_t> piece) -> Result<void> {
        text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return {};
    });
    auto fed = inflate.Feed(BytesOf(stored));
    if (fed) fed = inflate.Finish();
    if (!fed) return InvalidFormat("the stored manifest does not unpack to the head's size: " + fed.Error().reason);
    auto digest = DigestOf(text);
    if (!digest) return digest.Error();
    if (digest.Value() != head.manifestSha256)
        return InvalidFormat("the stored manifest is not the one the head names (its SHA-256 differs)");
    return text;
}

Result<ManifestText> FetchNamedManifest(const std::shared_ptr<const InternetSession>& session,
                                        const ManifestHead& head, const CancelFlag& cancel) {
    auto stored =
        FetchText(session, StoredManifestPath(session->Url(), ToHex(head.manifestSha256)), head.storedSize, cancel);
    if (!stored) return stored.Error();
    if (stored.Value().size() != head.storedSize)
        return InvalidFormat("the stored manifest has " + std::to_string(stored.Value().size()) +
                             " bytes, the head names " + std::to_string(head.storedSize));
    auto text = Unpacked(stored.Value(), head);
    if (!text) return text.Error();
    auto manifest = ParseTrustedManifest(std::move(text).Value());
    if (!manifest) return manifest.Error();
    if (auto agrees = CheckHeadAgrees(head, manifest.Value().parsed.manifest); !agrees) return agrees.Error();
    return manifest;
}

}  // namespace

Result<ServedManifest> FetchServedManifest(const std::shared_ptr<const InternetSession>& session,
                                           const std::optional<ManifestText>& local, std::int64_t now,
                                           const CancelFlag& cancel) {
    auto bytes = FetchText(session, session->Url().manifestPath, kMaxManifestBytes, cancel);
    if (!bytes) return bytes.Error();
    auto parts = SplitSignatureLine(bytes.Value());
    if (!parts) return parts.Error();
    if (!IsHeadText(parts.Value().signedPart)) {
        auto whole = ParseTrustedManifest(std::move(bytes).Value());
        if (!whole) return whole.Error();
        return ServedManifest{std::move(whole).Value()};
    }
    if (auto signer = CheckManifestSignature(parts.Value().signedPart, parts.Value().signature); !signer)
        return signer.Error();
    auto head = ParseHeadBody(parts.Value().signedPart);
    if (!head) return head.Error();
    // An expired head is refused whatever it names, as its manifest would be.
    if (auto current = CheckNotExpired(head.Value().expires, now); !current) return current.Error();
    auto namesLocal = NamesLocal(head.Value(), local);
    if (!namesLocal) return namesLocal.Error();
    if (namesLocal.Value()) {
        if (auto agrees = CheckHeadAgrees(head.Value(), local->parsed.manifest); !agrees) return agrees.Error();
        return ServedManifest{};
    }
    // From the local manifest and the delta from it, where the server has one.
    auto fromDelta = local ? ManifestFromDelta(session, head.Value(), local->bytes, cancel)
                           : Result<std::optional<ManifestText>>(std::nullopt);
    if (!fromDelta) return fromDelta.Error();
    if (fromDelta.Value()) return ServedManifest{std::move(fromDelta).Value()};
    auto fetched = FetchNamedManifest(session, head.Value(), cancel);
    if (!fetched) return fetched.Error();
    return ServedManifest{std::move(fetched).Value()};
}

}  // namespace velmora::engine
