#pragma once
// Reading `gamedata.vel` from its raw bytes: the signature line first, then,
// once the caller's check of the signature has passed, the rest.
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "core/manifest_content.h"

namespace velmora::engine {

// The text cut at its last line, the signature line.
struct ManifestParts {
    std::string_view signedPart;  // every byte before the signature line
    ManifestSignature signature{};
};

// Looks at nothing but the size limit, the final line break and the last
// line: InvalidFormat (-9) unless the text is at most kMaxManifestBytes and
// ends with `signature <128 lowercase hex digits>\n`.
Result<ManifestParts> SplitSignatureLine(std::string_view bytes);

// The manifest in the signed part: InvalidFormat with the line and the
// reason when it breaks any rule of docs/update-format.md (format version,
// line order, missing, repeated or unknown keys, numbers, hex, dates, paths,
// duplicates). Call it only on a part whose signature checked out.
Result<Manifest> ParseManifestBody(std::string_view signedPart);

// What a reader keeps of each chunk line: all of it; only its ChunkKey
// (Manifest::chunkKeys) for a manifest read for its files and the copies
// they hold; or its key, its stored place and size and where the line
// begins (Manifest::chunkPlaces and beside), for a release whose chunks'
// whole digests are read again from the text as they are checked.
enum class ChunkLinesKept { Whole, KeysOnly, KeysAndPlaces };

// A manifest read keys-only, with what CheckChunkKeysContent told of it:
// ReadManifestKeysOnly (manifest_keys_read.h) settles the rest.
struct KeysOnlyReading {
    Manifest manifest;
    ChunkKeysVerdict verdict;
};

// Reads the signed part of a manifest given in pieces of any size, as they
// come from a file or the network, so that the text need never be whole in
// memory: ParseManifestBody in steps. Feed it only a part whose signature
// checked out. Every refusal is ParseManifestBody's, the first one ends the
// reading, and Finish gives the manifest once the whole part went by.
class ManifestBodyReader {
public:
    // `expectedFiles`, `expectedChunks`: the file and chunk lines the part
    // holds (SignedTextScan counts them), so that the lists of files and
    // chunks take their room once instead of twice that while they grow;
    // 0 when unknown.
    explicit ManifestBodyReader(std::size_t expectedFiles = 0, std::size_t expectedChunks = 0,
                                ChunkLinesKept kept = ChunkLinesKept::Whole);
    ~ManifestBodyReader();
    ManifestBodyReader(const ManifestBodyReader&) = delete;
    ManifestBodyReader& operator=(const ManifestBodyReader&) = delete;

    Result<void> Feed(std::string_view piece);
    // Of a reader that keeps chunk lines whole.
    Result<Manifest> Finish();
    // Of a reader that keeps their keys (with their places or not): every
    // refusal of a line is Finish's; the content rules are
    // CheckChunkKeysContent's.
    Result<KeysOnlyReading> FinishKeysOnly();

private:
    Result<void> Ended() const;

    struct State;
    std::unique_ptr<State> state_;
    ChunkLinesKept kept_;
};

// Checks `signature` over `signedPart`: the engine's with CNG against the
// compiled-in key, the publishing tool's with OpenSSL.
using SignatureCheck = std::function<Result<void>(std::string_view signedPart, const ManifestSignature& signature)>;

// Splits off the signature line, checks the signature with `check` and
// parses the signed part only when it passed: nothing of an unsigned or
// wrongly signed manifest is parsed. The acceptance checks of
// manifest_acceptance.h come after.
Result<SignedManifest> ParseSignedManifest(std::string_view bytes, const SignatureCheck& check);

// The first line and the key lines of a signed part whose signature
// checked out, from its first bytes (`start`, which holds them or the
// whole part): a manifest with the format, version, expiry and min-updater
// alone, refused as the whole reading refuses those lines. What a run asks
// the server with, before the rest is read.
Result<Manifest> ParseManifestHead(std::string_view start);

}  // namespace velmora::engine
