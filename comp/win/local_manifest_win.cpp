#include "local_manifest_win.h"

#include <algorithm>
#include <functional>

#include "core/hex.h"
#include "core/manifest_keys_read.h"
#include "core/manifest_parse.h"
#include "core/signed_text_scan.h"
#include "file_ops_win.h"
#include "sha256_win.h"

namespace velmora::engine {
namespace {

// The first lines of a manifest lie within this many bytes of its start.
constexpr std::size_t kHeadBytes = 4096;

// What the first reading learns: the text's size and SHA-256, where its
// signature line begins, the signature, the signed part's SHA-256, and
// the text's first bytes.
struct ScannedText {
    std::uint64_t size = 0;
    Sha256Digest sha256{};
    SignedTextShape shape;
    Sha256Digest signedSha256{};
    std::string start;
};

// The text is hashed once: the signed part's digest is taken when it has
// gone by, then the signature line, which is all that follows it, is
// hashed on for the whole text's.
Result<ScannedText> Scan(HANDLE file, const std::wstring& path) {
    Sha256 hash;
    Result<void> hashed;
    SignedTextScan scan([&](std::string_view bytes) {
        if (hashed) hashed = hash.Update(bytes);
    });
    ScannedText scanned;
    auto read = ReadFromStart(file, path, [&](std::string_view piece) -> Result<void> {
        scanned.size += piece.size();
        if (scanned.start.size() < kHeadBytes)
            scanned.start.append(piece.substr(0, kHeadBytes - scanned.start.size()));
        return scan.Feed(piece);
    });
    if (!read) return read.Error();
    auto shape = scan.Finish();
    if (!shape) return shape.Error();
    if (!hashed) return hashed.Error();
    auto signedSha256 = hash.DigestSoFar();
    if (!signedSha256) return signedSha256.Error();
    const std::string signatureLine = "signature " + ToHex(shape.Value().signature) + "\n";
    if (shape.Value().signedLength + signatureLine.size() != scanned.size)
        return InvalidFormat("the signature line is not all that follows the signed part");
    if (auto last = hash.Update(signatureLine); !last) return last.Error();
    auto sha256 = hash.Finish();
    if (!sha256) return sha256.Error();
    scanned.shape = shape.Value();
    scanned.sha256 = sha256.Value();
    scanned.signedSha256 = signedSha256.Value();
    return scanned;
}

// The signed part, the first `signedLength` bytes of the file, parsed:
// whole, or keys-only (which may read it again).
Result<Manifest> ParseSignedPart(HANDLE file, const std::wstring& path, const SignedTextShape& shape,
                                 ChunkLinesKept kept) {
    const SignedPartReading read = [&](const std::function<Result<void>(std::string_view)>& take) {
        std::uint64_t left = shape.signedLength;
        return ReadFromStart(file, path, [&](std::string_view piece) -> Result<void> {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
            left -= size;
            return take(piece.substr(0, size));
        });
    };
    if (kept != ChunkLinesKept::Whole) return ReadManifestKeysOnly(read, shape.fileLines, shape.chunkLines, kept);
    ManifestBodyReader reader(shape.fileLines, shape.chunkLines);
    if (auto fed = read([&](std::string_view piece) { return reader.Feed(piece); }); !fed) return fed.Error();
    return reader.Finish();
}

}  // namespace

Result<CheckedManifestFile> CheckedManifestFile::Open(const std::wstring& path) {
    auto file = OpenForReadingAlone(path);
    if (!file) return file.Error();
    if (PlainFileSize(path).value_or(0) > kMaxManifestBytes) return InvalidFormat("manifest larger than the limit");
    auto scanned = Scan(file.Value().get(), path);
    if (!scanned) return scanned.Error();
    const ScannedText& text = scanned.Value();
    auto signer = CheckSignedDigest(text.signedSha256, text.shape.signature);
    if (!signer) return signer.Error();
    // The first lines, of the signed part alone.
    const std::size_t headBytes = text.shape.signedLength < text.start.size()
                                      ? static_cast<std::size_t>(text.shape.signedLength)
                                      : text.start.size();
    auto head = ParseManifestHead(std::string_view(text.start).substr(0, headBytes));
    if (!head) return head.Error();
    SignedManifest parsed{std::move(head).Value(), static_cast<std::size_t>(text.shape.signedLength),
                          text.shape.signature};
    return CheckedManifestFile(std::move(file).Value(), text.shape,
                               ManifestText{path, text.size, text.sha256, std::move(parsed), signer.Value()});
}

Result<ManifestText> CheckedManifestFile::ReadBody(ChunkLinesKept kept) && {
    auto manifest = ParseSignedPart(file_.get(), text_.file, shape_, kept);
    if (!manifest) return manifest.Error();
    text_.parsed.manifest = std::move(manifest).Value();
    return std::move(text_);
}

Result<ManifestText> ReadTrustedManifest(const std::wstring& path, ChunkLinesKept kept) {
    auto checked = CheckedManifestFile::Open(path);
    if (!checked) return checked.Error();
    return std::move(checked).Value().ReadBody(kept);
}

std::optional<ManifestText> ReadLocalManifest(const std::wstring& path, ChunkLinesKept kept) {
    auto text = ReadTrustedManifest(path, kept);
    if (!text) return std::nullopt;
    return std::move(text).Value();
}

}  // namespace velmora::engine
