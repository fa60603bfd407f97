#include "chunk_digests_win.h"

#include <algorithm>
#include <numeric>

#include "core/manifest_keys_read.h"
#include "error_text_win.h"
#include "file_ops_win.h"
#include "sha256_win.h"

namespace velmora::engine {
namespace {

// Enough of a chunk line for its digest: "chunk ", a pack number and an
// offset of up to 20 digits each (no leading zeros), the 64 digits and more.
constexpr std::uint32_t kChunkLineRead = 160;
// Lines closer than this in the text come in one read.
constexpr std::uint32_t kJoinedRead = 64 * 1024;

}  // namespace

Result<ChunkDigests> ChunkDigests::Open(const ManifestText& text) {
    auto file = OpenForReadingAlone(text.file);
    if (!file) return file.Error();
    Sha256 hash;
    std::uint64_t size = 0;
    auto read = ReadFromStart(file.Value().get(), text.file, [&](std::string_view piece) -> Result<void> {
        size += piece.size();
        return hash.Update(piece);
    });
    if (!read) return read.Error();
    auto sha256 = hash.Finish();
    if (!sha256) return sha256.Error();
    if (size != text.size || sha256.Value() != text.sha256)
        return InvalidFormat(Utf8(text.file) + " changed since it was read");
    return ChunkDigests(std::move(file).Value(), text.file, text.parsed.manifest.chunkLineStarts);
}

Result<std::vector<Sha256Digest>> ChunkDigests::Of(std::span<const std::uint32_t> lines) const {
    const auto startOf = [&](std::size_t k) { return lineStarts_[lines[k]]; };
    std::vector<std::uint32_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return startOf(a) < startOf(b); });
    std::vector<Sha256Digest> digests(lines.size());
    for (std::size_t k = 0; k < order.size();) {
        const std::uint32_t begin = startOf(order[k]);
        std::size_t last = k;
        while (last + 1 < order.size() && startOf(order[last + 1]) - begin + kChunkLineRead <= kJoinedRead) ++last;
        auto block = ReadAt(text_.get(), path_, begin, startOf(order[last]) - begin + kChunkLineRead);
        if (!block) return block.Error();
        const std::string_view bytes(reinterpret_cast<const char*>(block.Value().data()), block.Value().size());
        for (; k <= last; ++k) {
            const std::uint32_t at = startOf(order[k]) - begin;
            const std::string_view from = at < bytes.size() ? bytes.substr(at) : std::string_view();
            const std::optional<Sha256Digest> digest = ChunkLineDigest(from.substr(0, from.find('\n')));
            if (!digest)
                return InvalidFormat(Utf8(path_) + " holds no chunk line at byte " + std::to_string(startOf(order[k])));
            digests[order[k]] = *digest;
        }
    }
    return digests;
}

}  // namespace velmora::engine
