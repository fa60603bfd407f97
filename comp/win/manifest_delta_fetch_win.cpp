#include "manifest_delta_fetch_win.h"

#include <span>

#include "core/data_url.h"
#include "core/hex.h"
#include "core/inflate_stream.h"
#include "core/manifest_delta.h"
#include "core/manifest_head.h"
#include "server_fetch_win.h"
#include "sha256_win.h"

namespace velmora::engine {
namespace {

Result<Sha256Digest> DigestOf(std::string_view text) {
    Sha256 hash;
    if (auto added = hash.Update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}); !added)
        return added.Error();
    return hash.Finish();
}

// The stored delta unpacked (within the bound a delta of the head's size
// has) and applied to `localText` as it unpacks: the head's size and
// SHA-256, or why not.
Result<std::string> Applied(const std::string& stored, std::string_view localText, const ManifestHead& head) {
    std::string text;
    text.reserve(static_cast<std::size_t>(head.manifestSize));
    ManifestDeltaApplier applier(localText, head.manifestSize, [&text](std::string_view piece) -> Result<void> {
        text.append(piece);
        return {};
    });
    InflateStream inflate(
        ManifestDeltaLimit(head.manifestSize),
        [&applier](std::span<const std::uint8_t> piece) {
            return applier.Feed({reinterpret_cast<const char*>(piece.data()), piece.size()});
        },
        InflateStream::Size::AtMost);
    auto applied = inflate.Feed({reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
    if (applied) applied = inflate.Finish();
    if (applied) applied = applier.Finish();
    if (!applied) return applied.Error();
    auto digest = DigestOf(text);
    if (!digest) return digest.Error();
    if (digest.Value() != head.manifestSha256) return InvalidFormat("the delta gives another text than the head names");
    return text;
}

}  // namespace

Result<std::optional<ManifestText>> ManifestFromDelta(const std::shared_ptr<const InternetSession>& session,
                                                      const ManifestHead& head, std::string_view localText,
                                                      const CancelFlag& cancel) {
    const std::optional<ManifestText> none;
    auto localDigest = DigestOf(localText);
    if (!localDigest) return none;
    // A delta as large as the stored manifest would save nothing: the tool
    // writes none, and more is not read.
    auto stored = FetchText(session,
                            ManifestDeltaPath(session->Url(), ToHex(head.manifestSha256), ToHex(localDigest.Value())),
                            head.storedSize, cancel);
    if (cancel.Raised()) return Stopped();
    if (!stored) return none;
    auto text = Applied(stored.Value(), localText, head);
    if (!text) return none;
    auto manifest = ParseTrustedManifest(std::move(text).Value());
    if (!manifest) return manifest.Error();
    if (auto agrees = CheckHeadAgrees(head, manifest.Value().parsed.manifest); !agrees) return agrees.Error();
    return std::optional<ManifestText>(std::move(manifest).Value());
}

}  // namespace velmora::engine
