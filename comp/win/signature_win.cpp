#include "signature_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "engine_handles_win.h"
#include "sha256_win.h"
#include "system_text_win.h"

#include VELMORA_ENGINE_PUBLIC_KEY_HEADER

namespace velmora::engine {
namespace {

EngineError Invalid(std::string reason) { return InvalidFormat("manifest signature: " + std::move(reason)); }

}  // namespace

PublicKeyBytes ManifestPublicKey() { return PublicKeyBytes(kManifestPublicKey, sizeof kManifestPublicKey); }

Result<void> VerifySignature(std::span<const std::uint8_t> signedBytes, const ManifestSignature& signature,
                             PublicKeyBytes key) {
    Sha256 hash;
    if (auto hashed = hash.Update(signedBytes); !hashed) return Invalid(hashed.Error().reason);
    auto digest = hash.Finish();
    if (!digest) return Invalid(digest.Error().reason);

    BCRYPT_ALG_HANDLE rawProvider = nullptr;
    NTSTATUS status = cng::BCryptOpenAlgorithmProvider(&rawProvider, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) return Invalid("CNG has no ECDSA P-256: " + HexCode(static_cast<std::uint32_t>(status)));
    const UniqueAlgorithmProvider provider(rawProvider);

    // A BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE rawKey = nullptr;
    status = cng::BCryptImportKeyPair(provider.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &rawKey, blob.data(),
                                   static_cast<ULONG>(blob.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return Invalid("public key not accepted: " + HexCode(static_cast<std::uint32_t>(status)));
    const UniqueCryptoKey publicKey(rawKey);

    status = cng::BCryptVerifySignature(publicKey.get(), nullptr, digest.Value().data(),
                                     static_cast<ULONG>(digest.Value().size()),
                                     const_cast<PUCHAR>(signature.data()), static_cast<ULONG>(signature.size()), 0);
    if (!BCRYPT_SUCCESS(status)) return Invalid("does not match (" + HexCode(static_cast<std::uint32_t>(status)) + ")");
    return {};
}

Result<void> VerifyManifestSignature(std::string_view signedPart, const ManifestSignature& signature) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(signedPart.data());
    return VerifySignature(std::span(bytes, signedPart.size()), signature, ManifestPublicKey());
}

}  // namespace velmora::engine
