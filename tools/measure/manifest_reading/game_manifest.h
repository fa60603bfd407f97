#pragma once
// A generated manifest of a large game: `files` files of four 128 KiB
// chunks each (512 KiB a file), paths four folders deep, chunks stored
// slightly compressed in 32 MiB packs. Release 2 changes every 100th file:
// new content, new chunks stored in packs of their own after release 1's.
#include <cstdint>
#include <string>

#include "core/hex.h"
#include "core/manifest.h"

namespace velmora::engine {

inline constexpr std::uint32_t kGameChunkSize = 128 * 1024;
inline constexpr std::uint32_t kGameChunksPerFile = 4;
inline constexpr std::uint64_t kGameFileSize = std::uint64_t{kGameChunkSize} * kGameChunksPerFile;

// A digest as spread as a real SHA-256: every byte drawn from (kind, number)
// by splitmix64, so that tables keyed by digests see what they would in use.
inline Sha256Digest GameDigest(std::uint64_t kind, std::uint64_t number) {
    std::uint64_t state = kind * 0x9E3779B97F4A7C15ull ^ number;
    Sha256Digest digest{};
    for (std::size_t b = 0; b < digest.size(); b += 8) {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (int i = 0; i < 8; ++i) digest[b + i] = static_cast<std::uint8_t>(z >> (8 * i));
    }
    return digest;
}

inline std::string GamePath(std::uint64_t file) {
    return "content/zone" + std::to_string(file % 97) + "/assets/set" + std::to_string(file % 13) + "/asset_" +
           std::to_string(file) + ".pak";
}

// Packs filled front to back: where the next stored chunk goes.
struct GamePacker {
    static constexpr std::uint64_t kPackSize = 32u * 1024 * 1024;
    std::uint32_t pack = 0;
    std::uint64_t offset = 0;

    std::uint64_t Place(std::uint32_t stored) {
        if (offset + stored > kPackSize) {
            ++pack;
            offset = 0;
        }
        const std::uint64_t at = offset;
        offset += stored;
        return at;
    }
};

// The stamp every file of the generated game has on the benchmark's disk.
inline constexpr std::uint64_t kGameLastWrite = 133700000000000000ull;

// The record of placed files an install of release 1 has: every file with
// its content and the stamp the disk gives, so that each is vouched for.
inline std::string GamePlacedText(std::uint64_t files) {
    std::string text = "VELPLACED 2\n";
    text.reserve(files * 150);
    for (std::uint64_t f = 0; f < files; ++f)
        text += "file " + ToHex(GameDigest(16, f)) + " " + std::to_string(kGameFileSize) + " " +
                std::to_string(kGameLastWrite) + " " + GamePath(f) + "\n";
    return text;
}

inline std::string GameManifestText(std::uint64_t release, std::uint64_t files) {
    const auto changed = [&](std::uint64_t file) { return release > 1 && file % 100 == 0; };
    const auto stored = [](std::uint64_t chunk) { return kGameChunkSize - 4096 + static_cast<std::uint32_t>(chunk % 4096); };
    // Release 1's layout, then the new chunks after it.
    GamePacker first;
    for (std::uint64_t c = 0; c < files * kGameChunksPerFile; ++c) first.Place(stored(c));
    GamePacker later{first.pack + 1, 0};
    std::string lines;
    lines.reserve(files * (130 + kGameChunksPerFile * 100));
    GamePacker base;
    std::uint32_t packs = first.pack + 1;
    for (std::uint64_t f = 0; f < files; ++f) {
        const std::uint64_t kind = changed(f) ? 2 : 1;
        lines += "file " + ToHex(GameDigest(kind * 16, f)) + " " + std::to_string(kGameFileSize) + " " + GamePath(f) + "\n";
        for (std::uint64_t k = 0; k < kGameChunksPerFile; ++k) {
            const std::uint64_t c = f * kGameChunksPerFile + k;
            const std::uint64_t at = base.Place(stored(c));
            std::uint32_t pack = base.pack;
            std::uint64_t offset = at;
            if (changed(f)) {
                offset = later.Place(stored(c));
                pack = later.pack;
                packs = pack + 1;
            }
            lines += "chunk " + std::to_string(pack) + " " + std::to_string(offset) + " " +
                     ToHex(GameDigest(kind, c)) + " " + std::to_string(kGameChunkSize) + " " +
                     std::to_string(stored(c)) + "\n";
        }
    }
    std::string text;
    text.reserve(200 + packs * 80 + lines.size() + 140);
    text += "VELMANIFEST " + std::to_string(kManifestFormat) + "\nversion " + std::to_string(release) +
            "\nexpires 2099-01-01T00:00:00Z\nmin-updater 1\n";
    for (std::uint32_t p = 0; p < packs; ++p)
        text += "pack " + ToHex(GameDigest(3, p)) + " " + std::to_string(GamePacker::kPackSize) + "\n";
    text += lines;
    text += "signature " + std::string(128, 'a') + "\n";
    return text;
}

}  // namespace velmora::engine
