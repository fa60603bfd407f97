#include "chunk_codec.h"

#include <zlib.h>

#include "publish_error.h"

namespace velmora::publish {

bool CompressionPays(std::uint64_t size, std::uint64_t compressedSize) {
    return size > 0 && compressedSize * 10 <= size * 9;
}

std::optional<std::vector<std::uint8_t>> CompressedIfItPays(std::span<const std::uint8_t> content) {
    uLongf length = compressBound(static_cast<uLong>(content.size()));
    std::vector<std::uint8_t> compressed(length);
    if (compress2(compressed.data(), &length, content.data(), static_cast<uLong>(content.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        throw PublishError("zlib cannot compress a chunk");
    if (!CompressionPays(content.size(), length)) return std::nullopt;
    compressed.resize(length);
    return compressed;
}

std::optional<std::vector<std::uint8_t>> ChunkContent(std::span<const std::uint8_t> stored, std::uint32_t size) {
    if (stored.size() == size) return std::vector<std::uint8_t>(stored.begin(), stored.end());
    std::vector<std::uint8_t> content(size);
    uLongf produced = size;
    uLong consumed = static_cast<uLong>(stored.size());
    // Room for exactly `size` bytes: a stream that unpacks to more fails
    // with Z_BUF_ERROR; `consumed` tells bytes after the stream's end.
    if (uncompress2(content.data(), &produced, stored.data(), &consumed) != Z_OK || produced != size ||
        consumed != stored.size())
        return std::nullopt;
    return content;
}

}  // namespace velmora::publish
