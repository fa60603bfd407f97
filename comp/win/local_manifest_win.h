#pragma once
// libs\gamedata.vel, the last manifest applied in full: read and checked
// again at every start (one that does not check out counts as absent), and
// replaced in one step once a run has put every file in place.
#include <optional>
#include <string>

#include "core/engine_status.h"
#include "core/manifest.h"
#include "signature_win.h"

namespace velmora::engine {

struct ManifestText {
    std::string bytes;        // as it came from the server
    SignedManifest parsed;
    ManifestSigner signer;    // the trusted key that signed it, and what it signed
};

// The local manifest when it exists, parses and its signature checks out
// against a compiled-in key; nothing otherwise.
std::optional<ManifestText> ReadLocalManifest(const std::wstring& path);

// A manifest's text parsed once its signature checks out against a trusted
// key (ParseSignedManifest with CheckManifestSignature).
Result<ManifestText> ParseTrustedManifest(std::string bytes);

// Writes `bytes` to `scratch` (in the staging folder), flushes it, and
// renames it over `path`.
Result<void> WriteLocalManifest(const std::wstring& path, const std::wstring& scratch, const std::string& bytes);

}  // namespace velmora::engine
