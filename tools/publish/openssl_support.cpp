#include "openssl_support.h"

#include <openssl/core_names.h>
#include <openssl/err.h>

#include "publish_error.h"

namespace velmora::publish {

void FailWithOpenSslError(std::string_view what) {
    std::string message(what);
    if (const unsigned long code = ERR_get_error(); code != 0) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        message += " (";
        message += text;
        message += ")";
    }
    ERR_clear_error();
    throw PublishError(message);
}

void RequireP256(EVP_PKEY* key, std::string_view keyName) {
    char group[64] = {};
    std::size_t length = 0;
    if (!EVP_PKEY_is_a(key, "EC") ||
        !EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length) ||
        std::string_view(group, length) != "prime256v1") {
        ERR_clear_error();
        throw PublishError(std::string(keyName) + " is not an ECDSA P-256 key");
    }
}

PublicKeyBytes PublicPointOf(EVP_PKEY* key) {
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    if (!EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_X, &x) ||
        !EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_Y, &y)) {
        BN_free(x);
        FailWithOpenSslError("cannot read the public point of the key");
    }
    const OpenSslPtr<BIGNUM> ownX(x), ownY(y);
    PublicKeyBytes point;
    if (BN_bn2binpad(x, point.data(), 32) != 32 || BN_bn2binpad(y, point.data() + 32, 32) != 32)
        FailWithOpenSslError("public point does not fit P-256");
    return point;
}

OpenSslPtr<EVP_PKEY> KeyFromPublicPoint(const PublicKeyBytes& point) {
    std::array<unsigned char, 65> encoded;  // uncompressed form: 0x04 X Y
    encoded[0] = 0x04;
    std::copy(point.begin(), point.end(), encoded.begin() + 1);
    const OpenSslPtr<OSSL_PARAM_BLD> builder(OSSL_PARAM_BLD_new());
    if (!builder ||
        !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, encoded.data(),
                                          encoded.size()))
        FailWithOpenSslError("cannot describe the public key");
    const OpenSslPtr<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(builder.get()));
    const OpenSslPtr<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        FailWithOpenSslError("the public key is not a point on P-256");
    return OpenSslPtr<EVP_PKEY>(key);
}

}  // namespace velmora::publish
