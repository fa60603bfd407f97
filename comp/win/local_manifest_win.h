#pragma once
// A manifest's text in a file (libs\gamedata.vel, the last manifest applied
// in full; the journal; the copy of the server's fetched in this run): read
// in pieces, never whole in memory, and checked again at every start (one
// that does not check out counts as absent).
#include <optional>
#include <string>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/manifest_parse.h"
#include "core/signed_text_scan.h"
#include "engine_handles_win.h"
#include "signature_win.h"

namespace velmora::engine {

struct ManifestText {
    std::wstring file;        // where the text is
    std::uint64_t size = 0;   // of the whole text, signature line included
    Sha256Digest sha256{};    // of the whole text
    SignedManifest parsed;
    ManifestSigner signer;    // the trusted key that signed it, and what it signed

    bool SameTextAs(const ManifestText& other) const { return size == other.size && sha256 == other.sha256; }
};

// A manifest's text whose signature checked out against a trusted key and
// whose first lines were read, the rest still to read: what a run asks the
// server with (the text's size and SHA-256, the version) before it reads
// the bulk. The file stays open, and nobody can write to it, until then.
class CheckedManifestFile {
public:
    // Reads the text once to find its signature line and check the
    // signature over the SHA-256 of the signed part, then parses its first
    // lines. Invalid format (-9) when it does not check out.
    static Result<CheckedManifestFile> Open(const std::wstring& path);

    // The text, its manifest holding the first lines' fields alone.
    const ManifestText& Head() const { return text_; }
    // The text with its signed part parsed, read a second time (and a third
    // where ReadManifestKeysOnly must); `kept`: KeysOnly for a manifest read
    // for its files and the chunk copies they hold, whose chunk lines it
    // keeps as chunkKeys.
    Result<ManifestText> ReadBody(ChunkLinesKept kept) &&;

private:
    CheckedManifestFile(UniqueFileHandle file, const SignedTextShape& shape, ManifestText text)
        : file_(std::move(file)), shape_(shape), text_(std::move(text)) {}

    UniqueFileHandle file_;
    SignedTextShape shape_;
    ManifestText text_;
};

// The manifest in `path`, checked and read whole (CheckedManifestFile) while
// nobody can write to it: nothing of it is parsed before its signature
// checks out. Invalid format (-9) when it does not check out.
Result<ManifestText> ReadTrustedManifest(const std::wstring& path, ChunkLinesKept kept = ChunkLinesKept::Whole);

// ReadTrustedManifest, with nothing when the file is absent or does not
// check out.
std::optional<ManifestText> ReadLocalManifest(const std::wstring& path, ChunkLinesKept kept = ChunkLinesKept::Whole);

}  // namespace velmora::engine
