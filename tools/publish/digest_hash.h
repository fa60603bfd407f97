#pragma once
// Hashing a SHA-256 digest for unordered containers keyed by content.
#include <cstddef>
#include <cstring>

#include "core/manifest.h"

namespace velmora::publish {

struct DigestHash {
    std::size_t operator()(const engine::Sha256Digest& digest) const noexcept {
        std::size_t hash;  // a digest's bytes are already uniformly spread
        std::memcpy(&hash, digest.data(), sizeof hash);
        return hash;
    }
};

}  // namespace velmora::publish
