#include "core/manifest_keys_read.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/byte_find.h"
#include "core/hex.h"
#include "core/line_cutter.h"
#include "core/manifest_parse.h"

namespace velmora::engine {
namespace {

// The whole digests of the chunk lines numbered `wanted` (ascending, each
// once), picked from the signed part as it goes by again. The part was read
// and checked line by line before, so each chunk line has its digest third.
class ChunkDigestPicker {
public:
    explicit ChunkDigestPicker(std::span<const std::uint32_t> wanted) : wanted_(wanted), digests_(wanted.size()) {}

    Result<void> Feed(std::string_view piece) {
        lines_.Feed(piece, [this](std::string_view line) {
            Take(line);
            return true;
        });
        return {};
    }

    // Whether every wanted line was found with a digest.
    bool Complete() const { return sound_ && next_ == wanted_.size(); }

    const Sha256Digest& DigestOf(std::uint32_t line) const {
        const auto at = std::lower_bound(wanted_.begin(), wanted_.end(), line);
        return digests_[static_cast<std::size_t>(at - wanted_.begin())];
    }

private:
    void Take(std::string_view line) {
        if (!line.starts_with("chunk ")) return;
        const std::uint32_t number = chunkLine_++;
        if (next_ == wanted_.size() || wanted_[next_] != number) return;
        const std::optional<Sha256Digest> digest = ChunkLineDigest(line);
        sound_ = sound_ && digest;
        if (digest) digests_[next_] = *digest;
        ++next_;
    }

    std::span<const std::uint32_t> wanted_;
    std::vector<Sha256Digest> digests_;
    LineCutter lines_;
    std::uint32_t chunkLine_ = 0;
    std::size_t next_ = 0;
    bool sound_ = true;
};

// Whether the lines of each pair name one SHA-256, read from the text again.
Result<bool> SameDigests(const SignedPartReading& read,
                         const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
    std::vector<std::uint32_t> wanted;
    wanted.reserve(pairs.size() * 2);
    for (const auto& [a, b] : pairs) {
        wanted.push_back(a);
        wanted.push_back(b);
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    ChunkDigestPicker picker(wanted);
    if (auto picked = read([&](std::string_view piece) { return picker.Feed(piece); }); !picked)
        return picked.Error();
    if (!picker.Complete()) return false;
    return std::ranges::all_of(pairs, [&](const auto& pair) {
        return picker.DigestOf(pair.first) == picker.DigestOf(pair.second);
    });
}

// The signed part read as ParseManifestBody reads it, the chunk lines then
// cut to their keys unless `kept` wants their places: those a manifest
// whose lines are kept whole has in them.
Result<Manifest> ReadWhole(const SignedPartReading& read, std::size_t expectedFiles, std::size_t expectedChunks,
                           ChunkLinesKept kept) {
    ManifestBodyReader reader(expectedFiles, expectedChunks);
    if (auto fed = read([&](std::string_view piece) { return reader.Feed(piece); }); !fed) return fed.Error();
    auto manifest = reader.Finish();
    if (!manifest) return manifest.Error();
    if (kept == ChunkLinesKept::KeysOnly) manifest.Value().KeepOnlyChunkKeys();
    return manifest;
}

}  // namespace

std::optional<Sha256Digest> ChunkLineDigest(std::string_view line) {
    constexpr std::string_view kChunk = "chunk ";
    if (!line.starts_with(kChunk)) return std::nullopt;
    std::string_view rest = line.substr(kChunk.size());
    for (int field = 0; field < 2; ++field) {
        const std::size_t blank = FindByte(rest, ' ');
        if (blank == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(blank + 1);
    }
    Sha256Digest digest;
    if (!FromHex(rest.substr(0, FindByte(rest, ' ')), digest)) return std::nullopt;
    return digest;
}

Result<Manifest> ReadManifestKeysOnly(const SignedPartReading& read, std::size_t expectedFiles,
                                      std::size_t expectedChunks, ChunkLinesKept kept) {
    auto reading = [&]() -> Result<KeysOnlyReading> {
        ManifestBodyReader reader(expectedFiles, expectedChunks, kept);
        if (auto fed = read([&](std::string_view piece) { return reader.Feed(piece); }); !fed) return fed.Error();
        return reader.FinishKeysOnly();
    }();
    if (!reading) return reading.Error();
    KeysOnlyReading& keys = reading.Value();
    if (keys.verdict.settled) {
        if (keys.verdict.sameDigest.empty()) return std::move(keys.manifest);
        auto same = SameDigests(read, keys.verdict.sameDigest);
        if (!same) return same.Error();
        if (same.Value()) return std::move(keys.manifest);
    }
    keys = KeysOnlyReading{};
    return ReadWhole(read, expectedFiles, expectedChunks, kept);
}

}  // namespace velmora::engine
