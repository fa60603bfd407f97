#pragma once
// Owners for OpenSSL objects, OpenSSL's error text as a PublishError, and
// the raw public point of an ECDSA P-256 key.
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velmora::publish {

struct OpenSslFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
    void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
    void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
};

template <typename T>
using OpenSslPtr = std::unique_ptr<T, OpenSslFree>;

// The key the engine compiles in: the public point X then Y, 32 bytes each,
// big-endian.
using PublicKeyBytes = std::array<std::uint8_t, 64>;

// Throws PublishError: `what`, then OpenSSL's oldest queued error, if any.
[[noreturn]] void FailWithOpenSslError(std::string_view what);

// Throws PublishError unless `key` is an EC key on the P-256 curve.
void RequireP256(EVP_PKEY* key, std::string_view keyName);

PublicKeyBytes PublicPointOf(EVP_PKEY* key);

// A public key object for the raw point, for verifying.
OpenSslPtr<EVP_PKEY> KeyFromPublicPoint(const PublicKeyBytes& point);

}  // namespace velmora::publish
