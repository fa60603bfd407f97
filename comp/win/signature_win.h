#pragma once
// The manifest's signature, checked with CNG: ECDSA P-256 over the SHA-256
// of the signed bytes, r then s.
#include <cstdint>
#include <span>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// The key as velmora-publish writes it: the point X then Y, 32 bytes each.
using PublicKeyBytes = std::span<const std::uint8_t, 64>;

// Invalid format (-9) unless `signature` is a valid signature of
// `signedBytes` under `key`.
Result<void> VerifySignature(std::span<const std::uint8_t> signedBytes, const ManifestSignature& signature,
                             PublicKeyBytes key);

// The signed part of a manifest's text checked against the keys this
// engine trusts (core/trusted_keys.h): it passes when any one of them
// accepts the signature, and is invalid format (-9) naming each key's
// refusal otherwise. The check ParseSignedManifest runs before it parses
// anything.
Result<void> VerifyManifestSignature(std::string_view signedPart, const ManifestSignature& signature);

}  // namespace velmora::engine
