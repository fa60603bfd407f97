#include "signature_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/signature_form.h"
#include "core/trusted_keys.h"
#include "engine_handles_win.h"
#include "sha256_win.h"
#include "error_text_win.h"

namespace velmora::engine {
namespace {

EngineError Invalid(std::string reason) { return InvalidFormat("manifest signature: " + std::move(reason)); }

// Only one of a signature's two valid forms is taken, so that nobody
// without the key can make a second file of a signed text.
Result<void> CheckLowS(const ManifestSignature& signature) {
    if (HasLowS(signature)) return {};
    return Invalid("s lies in the upper half (only the low-s form is accepted)");
}

Result<Sha256Digest> DigestOf(std::span<const std::uint8_t> bytes) {
    Sha256 hash;
    if (auto hashed = hash.Update(bytes); !hashed) return Invalid(hashed.Error().reason);
    auto digest = hash.Finish();
    if (!digest) return Invalid(digest.Error().reason);
    return digest;
}

// Why `key` refuses `signature` over the bytes of `digest`; nothing when it
// accepts it.
std::optional<std::string> KeyRefusal(const Sha256Digest& digest, const ManifestSignature& signature,
                                      PublicKeyBytes key) {
    UniqueAlgorithmProvider provider;
    NTSTATUS status = cng::BCryptOpenAlgorithmProvider(provider.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) return "CNG has no ECDSA P-256: " + HexCode(static_cast<std::uint32_t>(status));

    // A BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    UniqueCryptoKey publicKey;
    status = cng::BCryptImportKeyPair(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, publicKey.put(), blob.data(),
                                      static_cast<ULONG>(blob.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return "public key not accepted: " + HexCode(static_cast<std::uint32_t>(status));

    status = cng::BCryptVerifySignature(publicKey.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                     static_cast<ULONG>(digest.size()),
                                     const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return "does not match (" + HexCode(static_cast<std::uint32_t>(status)) + ")";
    return std::nullopt;
}

}  // namespace

Result<void> VerifySignature(std::span<const std::uint8_t> signedBytes, const ManifestSignature& signature,
                             PublicKeyBytes key) {
    if (auto low = CheckLowS(signature); !low) return low;
    const auto digest = DigestOf(signedBytes);
    if (!digest) return digest.Error();
    if (auto refusal = KeyRefusal(digest.Value(), signature, key)) return Invalid(std::move(*refusal));
    return {};
}

Result<ManifestSigner> CheckManifestSignature(std::string_view signedPart, const ManifestSignature& signature) {
    // Hashed once, however many keys are tried; CheckSignedDigest checks the
    // form of s first.
    const auto digest = DigestOf({reinterpret_cast<const std::uint8_t*>(signedPart.data()), signedPart.size()});
    if (!digest) return digest.Error();
    return CheckSignedDigest(digest.Value(), signature);
}

Result<ManifestSigner> CheckSignedDigest(const Sha256Digest& signedDigest, const ManifestSignature& signature) {
    if (auto low = CheckLowS(signature); !low) return low.Error();
    std::string refusals;
    for (const TrustedKey& key : TrustedKeys()) {
        const auto refusal = KeyRefusal(signedDigest, signature, key.point);
        if (!refusal) return ManifestSigner{key.name, signedDigest};
        refusals += (refusals.empty() ? "" : "; ") + std::string(key.name) + ": " + *refusal;
    }
    return Invalid("no trusted key accepts it (" + refusals + ")");
}

Result<void> VerifyManifestSignature(std::string_view signedPart, const ManifestSignature& signature) {
    auto signer = CheckManifestSignature(signedPart, signature);
    if (!signer) return signer.Error();
    return {};
}

}  // namespace velmora::engine
