#pragma once
// SHA-256 through OpenSSL, of bytes in memory or arriving in pieces.
#include <span>
#include <string_view>

#include "core/manifest.h"
#include "openssl_support.h"

namespace velmora::publish {

engine::Sha256Digest Sha256Of(std::span<const std::uint8_t> data);
engine::Sha256Digest Sha256Of(std::string_view data);

// Incremental hashing for content that arrives in pieces.
class Sha256Stream {
public:
    Sha256Stream();

    void Add(const void* data, std::size_t size);
    engine::Sha256Digest Finish();

private:
    OpenSslPtr<EVP_MD_CTX> context_;
};

}  // namespace velmora::publish
