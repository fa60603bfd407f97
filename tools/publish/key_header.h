#pragma once
// The C++ header that carries the public key into the engine's build, and
// reading it back (verify --public accepts it).
#include <optional>
#include <string>
#include <string_view>

#include "openssl_support.h"

namespace velmora::publish {

// A header defining velmora::engine::kManifestPublicKey, a
// `constexpr unsigned char[64]` holding X then Y.
std::string KeyHeaderText(const PublicKeyBytes& key, std::string_view description);

// The bytes of the array kManifestPublicKey (between the '{' after its name
// and the next '}') when they are exactly 64 hex literals such as 0x1f;
// nothing otherwise.
std::optional<PublicKeyBytes> ParseKeyHeader(std::string_view text);

}  // namespace velmora::publish
