#pragma once
// Reads a release file once, in pieces, cutting it into its chunks
// (core/chunker.h) and hashing it whole on the way: however large the
// file, no more than a read piece and one chunk are in memory.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

#include "core/manifest.h"

namespace velmora::publish {

struct FileContent {
    engine::Sha256Digest sha256{};
    std::uint64_t size = 0;
};

// Calls `onChunk` with each chunk's bytes, in order; the span lives until
// the call returns. Throws PublishError when the file cannot be read.
FileContent CutFile(const std::filesystem::path& file,
                    const std::function<void(std::span<const std::uint8_t>)>& onChunk);

}  // namespace velmora::publish
