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

// The manifest in `path`, read twice while nobody can write to it: first
// to find its signature line and check the signature against a trusted key
// over the SHA-256 of the signed part, then, only once that passed, to
// parse the signed part. Invalid format (-9) when it does not check out.
// `kept`: KeysOnly for a manifest read for its files and the chunk copies
// they hold (ReadManifestKeysOnly), whose chunk lines it keeps as
// chunkKeys.
Result<ManifestText> ReadTrustedManifest(const std::wstring& path, ChunkLinesKept kept = ChunkLinesKept::Whole);

// ReadTrustedManifest, with nothing when the file is absent or does not
// check out.
std::optional<ManifestText> ReadLocalManifest(const std::wstring& path, ChunkLinesKept kept = ChunkLinesKept::Whole);

}  // namespace velmora::engine
