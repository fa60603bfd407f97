#include "file_digest.h"

#include <openssl/evp.h>

#include "openssl_support.h"

namespace velmora::publish {

Sha256Stream::Sha256Stream() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
        FailWithOpenSslError("cannot start SHA-256");
}

void Sha256Stream::Add(const void* data, std::size_t size) {
    if (EVP_DigestUpdate(context_.get(), data, size) != 1) FailWithOpenSslError("SHA-256 failed");
}

engine::Sha256Digest Sha256Stream::Finish() {
    engine::Sha256Digest digest;
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1 || length != digest.size())
        FailWithOpenSslError("SHA-256 failed");
    return digest;
}

engine::Sha256Digest Sha256Of(std::span<const std::uint8_t> data) {
    Sha256Stream stream;
    stream.Add(data.data(), data.size());
    return stream.Finish();
}

engine::Sha256Digest Sha256Of(std::string_view data) {
    return Sha256Of(std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

}  // namespace velmora::publish
