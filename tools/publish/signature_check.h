#pragma once
// Checking a manifest signature the way the engine does: the raw public
// point X||Y and the raw signature r||s over the signed bytes.
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "core/manifest.h"
#include "openssl_support.h"

namespace velmora::publish {

// True when `signature` is a valid ECDSA P-256 signature of SHA-256(`data`)
// by `publicKey` in the low-s form the engine takes (core/signature_form.h).
// False for a wrong key, changed data, a malformed signature (r or s zero or
// out of range) or one whose s lies in the upper half.
bool SignatureMatches(const PublicKeyBytes& publicKey, std::string_view data,
                      const engine::ManifestSignature& signature);

// The public key in a file: the C++ header keygen writes (*.h), or a PEM
// file holding a public or a private P-256 key. Throws PublishError.
PublicKeyBytes LoadPublicKeyFile(const std::filesystem::path& file);

// A public key with the name its file gives it (key_name.h).
struct NamedPublicKey {
    std::string name;
    std::filesystem::path file;
    PublicKeyBytes key;
};

// LoadPublicKeyFile, named. Throws PublishError.
NamedPublicKey LoadNamedPublicKey(const std::filesystem::path& file);

// The first of `candidates` under which `signature` of `data` checks out;
// nullptr when none does.
const NamedPublicKey* FindSigningKey(std::span<const NamedPublicKey> candidates, std::string_view data,
                                     const engine::ManifestSignature& signature);

}  // namespace velmora::publish
