#pragma once
// The other valid form of an ECDSA P-256 signature, (r, n - s), worked out
// with OpenSSL's own numbers rather than the code under test: what anyone
// holding a published manifest can make of its signature without the key.
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>

#include <stdexcept>

#include "core/manifest.h"

namespace velmora::engine::testing {

inline ManifestSignature SignatureTwin(const ManifestSignature& signature) {
    EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    BIGNUM* twin = BN_new();
    const bool done = group && s && twin && BN_sub(twin, EC_GROUP_get0_order(group), s) == 1;
    ManifestSignature result = signature;
    const bool written = done && BN_bn2binpad(twin, result.data() + 32, 32) == 32;
    BN_free(twin);
    BN_free(s);
    EC_GROUP_free(group);
    if (!written) throw std::runtime_error("cannot compute n - s");
    return result;
}

}  // namespace velmora::engine::testing
