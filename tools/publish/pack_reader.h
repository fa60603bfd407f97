#pragma once
// Reads chunks out of the packs of a server folder, one pack file open at a
// time and one chunk in memory at a time.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "core/manifest.h"

namespace velmora::publish {

class PackReader {
public:
    explicit PackReader(std::filesystem::path serverFolder) : folder_(std::move(serverFolder)) {}

    // The chunk's content: its stored bytes at its place in `pack`, unpacked
    // when compressed. Nothing when they do not unpack to exactly its size
    // (chunk_codec.h); the content's SHA-256 is the caller's to check.
    // Throws PublishError when the pack cannot be opened or is too short.
    std::optional<std::vector<std::uint8_t>> Read(const engine::ManifestPack& pack,
                                                  const engine::ManifestChunk& chunk);

    const std::filesystem::path& Folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    std::optional<engine::Sha256Digest> openPack_;
    std::ifstream input_;
};

}  // namespace velmora::publish
