#pragma once
// The one form of a manifest signature that is accepted. ECDSA signatures
// are malleable: whenever (r, s) is valid, so is (r, n - s), n being the
// order of the P-256 group, and anyone can compute it without the key.
// Taking only the form whose s lies in the lower half (s <= (n - 1) / 2)
// leaves every signing one valid spelling, so the only manifest files of a
// signed text are the ones the key holder made.
#include "core/manifest.h"

namespace velmora::engine {

// True when s, the signature's second half, is at most (n - 1) / 2.
bool HasLowS(const ManifestSignature& signature);

// The signature with s replaced by n - s when s lies in the upper half
// (between (n - 1) / 2 and n); any other signature as it is.
ManifestSignature WithLowS(const ManifestSignature& signature);

}  // namespace velmora::engine
