#pragma once
// The studio's ECDSA P-256 private key: made by keygen, read from its PEM
// file, signs manifests in the raw r||s form the engine checks.
#include <filesystem>
#include <string>
#include <string_view>

#include "core/manifest.h"
#include "openssl_support.h"

namespace velmora::publish {

class SigningKey {
public:
    static SigningKey Generate();
    // Throws PublishError when the file is missing, not a PEM private key,
    // or not a P-256 key.
    static SigningKey LoadPem(const std::filesystem::path& file);

    std::string PrivatePem() const;  // PKCS#8, unencrypted
    PublicKeyBytes PublicKey() const;
    // ECDSA over the SHA-256 of `data`; OpenSSL's DER signature converted to
    // r then s, 32 bytes each, big-endian, s in its lower half (OpenSSL
    // gives either half; the engine takes only the lower).
    engine::ManifestSignature Sign(std::string_view data) const;

private:
    explicit SigningKey(OpenSslPtr<EVP_PKEY> key) : key_(std::move(key)) {}
    OpenSslPtr<EVP_PKEY> key_;
};

}  // namespace velmora::publish
