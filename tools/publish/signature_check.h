#pragma once
// Checking a manifest signature the way the engine does: the raw public
// point X||Y and the raw signature r||s over the signed bytes.
#include <filesystem>
#include <string_view>

#include "core/manifest.h"
#include "openssl_support.h"

namespace velmora::publish {

// True when `signature` is a valid ECDSA P-256 signature of SHA-256(`data`)
// by `publicKey`. False for a wrong key, changed data, or a malformed
// signature (r or s zero or out of range).
bool SignatureMatches(const PublicKeyBytes& publicKey, std::string_view data,
                      const engine::ManifestSignature& signature);

// The public key in a file: the C++ header keygen writes (*.h), or a PEM
// file holding a public or a private P-256 key. Throws PublishError.
PublicKeyBytes LoadPublicKeyFile(const std::filesystem::path& file);

}  // namespace velmora::publish
