#pragma once
// Reading `gamedata.vel` from its raw bytes.
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// The manifest in `bytes`, its signature and the length of the part the
// signature covers; InvalidFormat (-9) with the line and the reason when the
// text breaks any rule of docs/update-format.md (format version, line
// order, missing, repeated or unknown keys, numbers, hex, dates, paths,
// duplicates, the signature line, size above kMaxManifestBytes).
//
// Nothing here checks the signature: the caller verifies `signature` over
// the first `signedLength` bytes against the compiled-in public key before
// it acts on any of the manifest's content, then applies the acceptance
// checks of manifest_acceptance.h.
Result<SignedManifest> ParseManifest(std::string_view bytes);

}  // namespace velmora::engine
