#include "manifest_delta_fetch_win.h"

#include <span>

#include "core/data_url.h"
#include "core/hex.h"
#include "core/inflate_stream.h"
#include "core/manifest_delta.h"
#include "manifest_file_writer_win.h"
#include "mapped_file_win.h"
#include "server_fetch_win.h"

namespace velmora::engine {
namespace {

// Whether a failure of the delta leaves the whole manifest worth asking
// for: the server has no such delta (an HTTP error answer) or it is not
// the text wanted. A connection that failed, a body cut short or trouble
// on this machine would meet the whole manifest as well: they end the run.
bool WholeManifestMayServe(const EngineError& error) {
    return error.status == EngineStatus::ServerError || error.status == EngineStatus::InvalidFormat;
}

// The delta at `path`, unpacked (within the bound a delta of the head's
// size has) and applied to `oldText` as it comes, the new text written to
// `file`: exactly the head's size and SHA-256, or why not.
Result<void> ApplyDelta(const std::shared_ptr<const InternetSession>& session, const std::string& path,
                        std::string_view oldText, const ManifestHead& head, const std::wstring& file,
                        const CancelFlag& cancel) {
    auto out = ManifestFileWriter::Create(file);
    if (!out) return out.Error();
    ManifestDeltaApplier applier(oldText, head.manifestSize,
                                 [&out](std::string_view piece) { return out.Value().Write(piece); });
    InflateStream inflate(
        ManifestDeltaLimit(head.manifestSize),
        [&applier](std::span<const std::uint8_t> piece) {
            return applier.Feed({reinterpret_cast<const char*>(piece.data()), piece.size()});
        },
        InflateStream::Size::AtMost);
    // A delta as large as the stored manifest would save nothing: the tool
    // writes none, and more is not read.
    auto fetched = FetchInto(session, path, head.storedSize, cancel, [&inflate](std::span<const std::uint8_t> piece) {
        return inflate.Feed(piece);
    });
    if (!fetched) return fetched.Error();
    if (auto finished = inflate.Finish(); !finished) return finished;
    if (auto finished = applier.Finish(); !finished) return finished;
    auto digest = out.Value().Finish();
    if (!digest) return digest.Error();
    if (digest.Value() != head.manifestSha256) return InvalidFormat("the delta gives another text than the head names");
    return {};
}

}  // namespace

Result<std::optional<ManifestText>> ManifestFromDelta(const std::shared_ptr<const InternetSession>& session,
                                                      const ManifestHead& head, const ManifestText& local,
                                                      const std::wstring& file, const CancelFlag& cancel) {
    const std::optional<ManifestText> none;
    auto oldText = MappedFile::Open(local.file);
    if (!oldText) return none;
    const std::string path = ManifestDeltaPath(session->Url(), ToHex(head.manifestSha256), ToHex(local.sha256));
    if (auto applied = ApplyDelta(session, path, oldText.Value().Bytes(), head, file, cancel); !applied) {
        if (cancel.Raised()) return Stopped();
        if (WholeManifestMayServe(applied.Error())) return none;
        return applied.Error();
    }
    auto manifest = ReadTrustedManifest(file, ChunkLinesKept::KeysAndPlaces);
    if (!manifest) return manifest.Error();
    if (auto agrees = CheckHeadAgrees(head, manifest.Value().parsed.manifest); !agrees) return agrees.Error();
    return std::optional<ManifestText>(std::move(manifest).Value());
}

}  // namespace velmora::engine
