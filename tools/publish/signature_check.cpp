#include "signature_check.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <vector>

#include "core/signature_form.h"
#include "file_io.h"
#include "key_header.h"
#include "key_name.h"
#include "publish_error.h"

namespace velmora::publish {

bool SignatureMatches(const PublicKeyBytes& publicKey, std::string_view data,
                      const engine::ManifestSignature& signature) {
    if (!engine::HasLowS(signature)) return false;
    const OpenSslPtr<EVP_PKEY> key = KeyFromPublicPoint(publicKey);
    OpenSslPtr<ECDSA_SIG> parsed(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!parsed || !r || !s || !ECDSA_SIG_set0(parsed.get(), r, s)) {
        BN_free(r);
        BN_free(s);
        FailWithOpenSslError("cannot hold the signature");
    }
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(parsed.get(), &der);
    if (derLength <= 0) FailWithOpenSslError("cannot encode the signature");
    const std::vector<unsigned char> encoded(der, der + derLength);
    OPENSSL_free(der);

    const OpenSslPtr<EVP_MD_CTX> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        FailWithOpenSslError("cannot start checking a signature");
    const int verdict = EVP_DigestVerify(context.get(), encoded.data(), encoded.size(),
                                         reinterpret_cast<const unsigned char*>(data.data()), data.size());
    ERR_clear_error();  // a refused signature queues an error that is no failure of ours
    return verdict == 1;
}

PublicKeyBytes LoadPublicKeyFile(const std::filesystem::path& file) {
    const std::string text = ReadWholeFile(file);
    if (file.extension() == ".h") {
        const auto key = ParseKeyHeader(text);
        if (!key) throw PublishError(file.string() + " holds no public key array of 64 bytes");
        KeyFromPublicPoint(*key);  // throws when the bytes are no point on the curve
        return *key;
    }
    const OpenSslPtr<BIO> input(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
    OpenSslPtr<EVP_PKEY> key(PEM_read_bio_PUBKEY(input.get(), nullptr, nullptr, nullptr));
    if (!key) {
        ERR_clear_error();
        const OpenSslPtr<BIO> again(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
        key.reset(PEM_read_bio_PrivateKey(again.get(), nullptr, nullptr, nullptr));
    }
    if (!key) FailWithOpenSslError(file.string() + " holds no PEM public or private key");
    RequireP256(key.get(), file.string());
    return PublicPointOf(key.get());
}

NamedPublicKey LoadNamedPublicKey(const std::filesystem::path& file) {
    return {KeyName(file), file, LoadPublicKeyFile(file)};
}

const NamedPublicKey* FindSigningKey(std::span<const NamedPublicKey> candidates, std::string_view data,
                                     const engine::ManifestSignature& signature) {
    for (const NamedPublicKey& candidate : candidates)
        if (SignatureMatches(candidate.key, data, signature)) return &candidate;
    return nullptr;
}

}  // namespace velmora::publish
