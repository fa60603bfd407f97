#pragma once
// SHA-256 through OpenSSL, of bytes in memory or of a file read in chunks.
#include <filesystem>
#include <string_view>

#include "core/manifest.h"
#include "openssl_support.h"

namespace velmora::publish {

engine::Sha256Digest Sha256Of(std::string_view data);

// Throws PublishError when the file cannot be read.
engine::Sha256Digest Sha256OfFile(const std::filesystem::path& file);

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
