#include "file_digest.h"

#include <openssl/evp.h>

#include <fstream>
#include <vector>

#include "openssl_support.h"
#include "publish_error.h"

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

engine::Sha256Digest Sha256Of(std::string_view data) {
    Sha256Stream stream;
    stream.Add(data.data(), data.size());
    return stream.Finish();
}

engine::Sha256Digest Sha256OfFile(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    if (!input) throw PublishError("cannot read " + file.string());
    Sha256Stream stream;
    std::vector<char> buffer(1 << 16);
    while (input) {
        input.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        stream.Add(buffer.data(), static_cast<std::size_t>(input.gcount()));
    }
    if (input.bad()) throw PublishError("cannot read " + file.string());
    return stream.Finish();
}

}  // namespace velmora::publish
