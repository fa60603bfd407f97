#pragma once
// The manifest's signature, checked with CNG: ECDSA P-256 over the SHA-256
// of the signed bytes, r then s, s in its lower half (core/signature_form.h).
#include <cstdint>
#include <span>
#include <string_view>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// The key as velmora-publish writes it: the point X then Y, 32 bytes each.
using PublicKeyBytes = std::span<const std::uint8_t, 64>;

// Invalid format (-9) unless `signature` is a valid signature of
// `signedBytes` under `key` in the low-s form.
Result<void> VerifySignature(std::span<const std::uint8_t> signedBytes, const ManifestSignature& signature,
                             PublicKeyBytes key);

// What a manifest's signature that checked out says: which trusted key
// made it, and the digest of what it signed.
struct ManifestSigner {
    std::string_view key;       // TrustedKey::name, of static storage
    Sha256Digest signedDigest{};  // the SHA-256 of the signed part
};

// The signed part of a manifest's text checked against the keys this
// engine trusts (core/trusted_keys.h): the first of them that accepts the
// signature, or invalid format (-9) naming each key's refusal. A signature
// whose s lies in the upper half is refused before any key is tried.
Result<ManifestSigner> CheckManifestSignature(std::string_view signedPart, const ManifestSignature& signature);

// CheckManifestSignature for a text read in pieces: `signedDigest` is the
// SHA-256 of its signed part.
Result<ManifestSigner> CheckSignedDigest(const Sha256Digest& signedDigest, const ManifestSignature& signature);

// CheckManifestSignature without the signer: the check ParseSignedManifest
// runs before it parses anything.
Result<void> VerifyManifestSignature(std::string_view signedPart, const ManifestSignature& signature);

}  // namespace velmora::engine
