#include "chunk_check_win.h"

#include "core/hex.h"
#include "core/inflate_stream.h"
#include "sha256_win.h"

namespace velmora::engine {

Result<void> CheckChunkContent(const ManifestChunk& chunk, std::span<const std::uint8_t> content) {
    if (content.size() != chunk.size)
        return EngineError{EngineStatus::WrongFile, "chunk " + ToHex(chunk.sha256) + " has " +
                                                        std::to_string(content.size()) + " bytes, the manifest says " +
                                                        std::to_string(chunk.size)};
    Sha256 hash;
    if (auto hashed = hash.Update(content); !hashed) return hashed;
    auto digest = hash.Finish();
    if (!digest) return digest.Error();
    if (digest.Value() != chunk.sha256)
        return EngineError{EngineStatus::WrongFile,
                           "chunk " + ToHex(chunk.sha256) + " has SHA-256 " + ToHex(digest.Value())};
    return {};
}

Result<std::vector<std::uint8_t>> ChunkContent(const ManifestChunk& chunk, std::vector<std::uint8_t> stored) {
    std::vector<std::uint8_t> content;
    if (!chunk.IsCompressed()) {
        content = std::move(stored);
    } else {
        content.reserve(chunk.size);
        InflateStream inflate(chunk.size, [&](std::span<const std::uint8_t> piece) {
            content.insert(content.end(), piece.begin(), piece.end());
            return Result<void>();
        });
        if (auto fed = inflate.Feed(stored); !fed) return fed.Error();
        if (auto done = inflate.Finish(); !done) return done.Error();
    }
    if (auto checked = CheckChunkContent(chunk, content); !checked) return checked.Error();
    return content;
}

}  // namespace velmora::engine
