#pragma once
// Writes the chunks a release stores anew into new packs, one after another
// in the order they come, each pack closing once it holds kPackCloseSize.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <vector>

#include "core/manifest.h"
#include "file_digest.h"

namespace velmora::publish {

// A pack takes no more chunks once it holds this much: large enough that a
// fresh install makes few requests, small enough that a download that
// broke off costs little to resume and any web cache takes it.
inline constexpr std::uint64_t kPackCloseSize = 32u * 1024 * 1024;

class PackWriter {
public:
    // Writes into the packs folder of `serverFolder`, which must exist.
    explicit PackWriter(std::filesystem::path serverFolder) : folder_(std::move(serverFolder)) {}

    struct Place {
        std::size_t pack = 0;     // this writer's packs, counted from 0
        std::uint64_t offset = 0;
    };
    // Appends a chunk's stored bytes to the open pack, opening one first
    // when none is. Throws PublishError.
    Place Append(std::span<const std::uint8_t> stored);

    // Closes the open pack. The packs written, in the order of their
    // numbers, each under its name (the SHA-256 of its bytes) in the packs
    // folder. Throws PublishError.
    std::vector<engine::ManifestPack> Finish();

private:
    void Close();
    std::filesystem::path OpenFile() const;

    std::filesystem::path folder_;
    std::vector<engine::ManifestPack> closed_;
    std::ofstream output_;
    std::optional<Sha256Stream> digest_;  // of the open pack, while one is
    std::uint64_t size_ = 0;
};

}  // namespace velmora::publish
