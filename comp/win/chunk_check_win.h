#pragma once
// One chunk's stored bytes made into its content and checked: a compressed
// chunk is unpacked (to exactly its size, no more), and the content must
// hash to the chunk's SHA-256. Anything else is the wrong file (-7). A chunk
// is at most kMaxChunkSize, so it is held in memory whole.
#include <cstdint>
#include <span>
#include <vector>

#include "core/engine_status.h"
#include "core/manifest.h"

namespace velmora::engine {

// Whether `content` is the chunk's content (size and SHA-256).
Result<void> CheckChunkContent(const ManifestChunk& chunk, std::span<const std::uint8_t> content);

// The chunk's content from its stored bytes, checked (stored as is, the
// bytes themselves).
Result<std::vector<std::uint8_t>> ChunkContent(const ManifestChunk& chunk, std::vector<std::uint8_t> stored);

}  // namespace velmora::engine
