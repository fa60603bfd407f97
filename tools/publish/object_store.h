#pragma once
// The objects of a server folder: each distinct file content once, named by
// its SHA-256, compressed with zlib where that pays.
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/manifest.h"

namespace velmora::publish {

struct StoredObject {
    std::string name;  // hex SHA-256, plus ".z" when compressed
    std::uint64_t storedSize = 0;
};

// Compression pays when it saves at least 10 % of the size.
bool CompressionPays(std::uint64_t size, std::uint64_t compressedSize);

// Writes the content of `source` (whose SHA-256 is `sha256`) into
// `objectsFolder`: as a zlib stream (RFC 1950) named "<hex>.z" when that
// pays, else as it is, named "<hex>". Throws PublishError.
StoredObject StoreObject(const std::filesystem::path& source, const engine::Sha256Digest& sha256,
                         const std::filesystem::path& objectsFolder);

struct ObjectContent {
    engine::Sha256Digest sha256{};
    std::uint64_t size = 0;
};

// The digest and size of what an object unpacks to (inflated when
// `compressed`). Throws PublishError for a broken or truncated zlib stream
// or data after its end.
ObjectContent ReadObjectContent(const std::filesystem::path& object, bool compressed);

}  // namespace velmora::publish
