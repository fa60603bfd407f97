#include "served_manifest_win.h"

#include <span>

#include "core/hex.h"
#include "core/inflate_stream.h"
#include "core/manifest_acceptance.h"
#include "core/manifest_head.h"
#include "core/manifest_parse.h"
#include "file_ops_win.h"
#include "manifest_delta_fetch_win.h"
#include "manifest_file_writer_win.h"
#include "server_fetch_win.h"
#include "signature_win.h"

namespace velmora::engine {
namespace {

// Whether the head names the local manifest: the same size and SHA-256 of
// the whole text, and the same version.
bool NamesLocal(const ManifestHead& head, const std::optional<ManifestText>& local) {
    return local && local->size == head.manifestSize && local->sha256 == head.manifestSha256 &&
           local->parsed.manifest.version == head.version;
}

// The stored manifest the head names, unpacked into `file` as it comes:
// exactly the head's stored size, unpacking to exactly the head's size and
// SHA-256.
Result<void> FetchStoredManifest(const std::shared_ptr<const InternetSession>& session, const ManifestHead& head,
                                 const std::wstring& file, const CancelFlag& cancel) {
    auto out = ManifestFileWriter::Create(file);
    if (!out) return out.Error();
    InflateStream inflate(head.manifestSize, [&out](std::span<const std::uint8_t> piece) {
        return out.Value().Write(piece);
    });
    const auto notUnpacked = [](const EngineError& error) {
        return InvalidFormat("the stored manifest does not unpack to the head's size: " + error.reason);
    };
    auto stored = FetchInto(session, StoredManifestPath(session->Url(), ToHex(head.manifestSha256)),
                            head.storedSize, cancel, [&](std::span<const std::uint8_t> piece) -> Result<void> {
                                auto fed = inflate.Feed(piece);
                                if (!fed && fed.Error().status == EngineStatus::InvalidFormat)
                                    return notUnpacked(fed.Error());
                                return fed;
                            });
    if (!stored) return stored.Error();
    if (stored.Value() != head.storedSize)
        return InvalidFormat("the stored manifest has " + std::to_string(stored.Value()) +
                             " bytes, the head names " + std::to_string(head.storedSize));
    if (auto finished = inflate.Finish(); !finished) return notUnpacked(finished.Error());
    auto digest = out.Value().Finish();
    if (!digest) return digest.Error();
    if (digest.Value() != head.manifestSha256)
        return InvalidFormat("the stored manifest is not the one the head names (its SHA-256 differs)");
    return {};
}

Result<ManifestText> FetchNamedManifest(const std::shared_ptr<const InternetSession>& session,
                                        const ManifestHead& head, const std::wstring& file,
                                        const CancelFlag& cancel) {
    if (auto fetched = FetchStoredManifest(session, head, file, cancel); !fetched) return fetched.Error();
    auto manifest = ReadTrustedManifest(file, ChunkLinesKept::KeysAndPlaces);
    if (!manifest) return manifest.Error();
    if (auto agrees = CheckHeadAgrees(head, manifest.Value().parsed.manifest); !agrees) return agrees.Error();
    return manifest;
}

// A manifest served whole at the data URL, kept in `file` and read from
// there as any other.
Result<ManifestText> TakeWholeManifest(std::string_view bytes, const std::wstring& file) {
    if (auto written = WriteFileFlushed(file, bytes); !written) return written.Error();
    return ReadTrustedManifest(file, ChunkLinesKept::KeysAndPlaces);
}

}  // namespace

Result<ServedManifest> FetchServedManifest(const std::shared_ptr<const InternetSession>& session,
                                           const std::optional<ManifestText>& local,
                                           const std::wstring& fetchedFile, std::int64_t now,
                                           const CancelFlag& cancel) {
    auto bytes = FetchText(session, session->Url().manifestPath, kMaxManifestBytes, cancel);
    if (!bytes) return bytes.Error();
    auto parts = SplitSignatureLine(bytes.Value());
    if (!parts) return parts.Error();
    if (!IsHeadText(parts.Value().signedPart)) {
        auto whole = TakeWholeManifest(bytes.Value(), fetchedFile);
        if (!whole) return whole.Error();
        return ServedManifest{std::move(whole).Value()};
    }
    if (auto signer = CheckManifestSignature(parts.Value().signedPart, parts.Value().signature); !signer)
        return signer.Error();
    auto head = ParseHeadBody(parts.Value().signedPart);
    if (!head) return head.Error();
    // An expired head is refused whatever it names, as its manifest would be.
    if (auto current = CheckNotExpired(head.Value().expires, now); !current) return current.Error();
    if (NamesLocal(head.Value(), local)) {
        if (auto agrees = CheckHeadAgrees(head.Value(), local->parsed.manifest); !agrees) return agrees.Error();
        return ServedManifest{};
    }
    if (local) {
        // From the local manifest and the delta from it, where the server has one.
        auto fromDelta = ManifestFromDelta(session, head.Value(), *local, fetchedFile, cancel);
        if (!fromDelta) return fromDelta.Error();
        if (fromDelta.Value()) return ServedManifest{std::move(fromDelta).Value()};
    }
    auto fetched = FetchNamedManifest(session, head.Value(), fetchedFile, cancel);
    if (!fetched) return fetched.Error();
    return ServedManifest{std::move(fetched).Value()};
}

}  // namespace velmora::engine
