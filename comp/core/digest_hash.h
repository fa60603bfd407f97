#pragma once
// A hash for SHA-256 digests as keys of unordered containers: a digest's
// bytes are already uniformly spread, so its first bytes serve.
#include <cstddef>
#include <cstring>

#include "core/manifest.h"

namespace velmora::engine {

struct DigestHash {
    std::size_t operator()(const Sha256Digest& digest) const noexcept {
        std::size_t hash;
        std::memcpy(&hash, digest.data(), sizeof hash);
        return hash;
    }
};

}  // namespace velmora::engine
