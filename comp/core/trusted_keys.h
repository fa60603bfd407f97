#pragma once
// The public keys a build of the engine trusts: a manifest is accepted when
// its signature checks out against any one of them. Each build defines
// TrustedKeys() in a source the configuration writes from its list of key
// headers (cmake/trusted-keys.cmake), so that a studio rotating its key can
// ship an engine trusting the old and the new key, and later one trusting
// only the new.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velmora::engine {

struct TrustedKey {
    std::string_view name;               // the key header's name, less "-public.h"
    std::array<std::uint8_t, 64> point;  // the P-256 point X then Y, 32 bytes each, big-endian
};

// In the order of the list the build was configured with; never empty.
std::span<const TrustedKey> TrustedKeys();

}  // namespace velmora::engine
