#pragma once
// The head: what the data URL serves, a small signed text naming the
// release's version, expiry and engine floor and the SHA-256 and size of
// its manifest, which the server folder keeps zlib-compressed under
// manifests/<sha256>. A run whose local manifest is the one the head names
// fetches nothing else; the head stays small whatever the game's size, so
// a start with nothing to do costs one small request. docs/update-format.md
// describes the text form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// The head format this engine reads and the publishing tool writes.
inline constexpr std::uint64_t kHeadFormat = 1;

// The manifest's zlib stream may be a little larger than the manifest
// (incompressible text): zlib's own bound for the largest manifest.
inline constexpr std::uint64_t kMaxStoredManifestBytes =
    kMaxManifestBytes + (kMaxManifestBytes >> 12) + (kMaxManifestBytes >> 14) + 64;

struct ManifestHead {
    std::uint64_t version = 0;
    std::int64_t expires = 0;      // seconds since 1970-01-01T00:00:00Z
    std::uint64_t minUpdater = 0;
    Sha256Digest manifestSha256{};  // of the manifest's whole text, signature line included
    std::uint64_t manifestSize = 0;  // of that text
    std::uint64_t storedSize = 0;    // of its zlib stream, manifests/<sha256>

    friend bool operator==(const ManifestHead&, const ManifestHead&) = default;
};

// True when a signed text is a head rather than a whole manifest: its first
// line names the head format (any version; the parser judges it).
bool IsHeadText(std::string_view signedPart);

// The head in a signed part whose signature checked out: InvalidFormat (-9)
// naming the line unless it is exactly the format line, the three key lines
// and the manifest line, in that order, each spelt as the manifest's are
// (docs/update-format.md), with sizes from 1 to the manifest limit.
Result<ManifestHead> ParseHeadBody(std::string_view signedPart);

// Every line of the head before its signature line; ParseHeadBody of it
// gives `head` back.
std::string HeadBody(const ManifestHead& head);

// The head for `manifest`, whose text has that SHA-256 and size and whose
// zlib stream takes `storedSize` bytes.
ManifestHead HeadFor(const Manifest& manifest, const Sha256Digest& manifestSha256, std::uint64_t manifestSize,
                     std::uint64_t storedSize);

// InvalidFormat (-9) unless the manifest has the head's version, expiry
// and min-updater: one signer made both, and a head that says otherwise
// than its manifest is a faulty publication.
Result<void> CheckHeadAgrees(const ManifestHead& head, const Manifest& manifest);

}  // namespace velmora::engine
