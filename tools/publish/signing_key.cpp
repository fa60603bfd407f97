#include "signing_key.h"

#include <openssl/pem.h>

#include <vector>

#include "core/signature_form.h"
#include "file_io.h"
#include "publish_error.h"

namespace velmora::publish {

SigningKey SigningKey::Generate() {
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    if (!key) FailWithOpenSslError("cannot generate a P-256 key");
    return SigningKey(OpenSslPtr<EVP_PKEY>(key));
}

SigningKey SigningKey::LoadPem(const std::filesystem::path& file) {
    const std::string text = ReadWholeFile(file);
    const OpenSslPtr<BIO> input(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    OpenSslPtr<EVP_PKEY> key(PEM_read_bio_PrivateKey(input.get(), nullptr, nullptr, nullptr));
    if (!key) FailWithOpenSslError(file.string() + " holds no PEM private key");
    RequireP256(key.get(), file.string());
    return SigningKey(std::move(key));
}

std::string SigningKey::PrivatePem() const {
    const OpenSslPtr<BIO> output(BIO_new(BIO_s_mem()));
    if (!output || !PEM_write_bio_PrivateKey(output.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr))
        FailWithOpenSslError("cannot write the private key");
    char* data = nullptr;
    const long length = BIO_get_mem_data(output.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

PublicKeyBytes SigningKey::PublicKey() const { return PublicPointOf(key_.get()); }

engine::ManifestSignature SigningKey::Sign(std::string_view data) const {
    const OpenSslPtr<EVP_MD_CTX> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
        FailWithOpenSslError("cannot sign");
    std::vector<unsigned char> der(length);
    if (EVP_DigestSign(context.get(), der.data(), &length,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1)
        FailWithOpenSslError("cannot sign");
    const unsigned char* cursor = der.data();
    const OpenSslPtr<ECDSA_SIG> parsed(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(length)));
    if (!parsed) FailWithOpenSslError("cannot read OpenSSL's signature");
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(parsed.get(), &r, &s);
    engine::ManifestSignature raw;
    if (BN_bn2binpad(r, raw.data(), 32) != 32 || BN_bn2binpad(s, raw.data() + 32, 32) != 32)
        FailWithOpenSslError("signature does not fit P-256");
    return engine::WithLowS(raw);
}

}  // namespace velmora::publish
