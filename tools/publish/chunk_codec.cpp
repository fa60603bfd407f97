#include "chunk_codec.h"

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "publish_error.h"

namespace velmora::publish {
namespace {

// The quick look: kSlices slices of kSliceSize bytes, spread evenly over the
// content, deflated together at the fastest level. Slices side by side
// still show repetition between distant parts of the chunk (a repeated
// block, a table of records), which a count of byte values alone would
// miss.
constexpr std::size_t kSlices = 4;
constexpr std::size_t kSliceSize = 4096;
constexpr std::size_t kSampleSize = kSlices * kSliceSize;

struct CompressorRelease {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorRelease>;

// One compressor a level and thread, made once: making one takes more than
// compressing a small chunk.
libdeflate_compressor& CompressorAt(int level) {
    thread_local std::array<Compressor, kSmallestCompressionLevel + 1> compressors;
    if (level < kQuickestCompressionLevel || level > kSmallestCompressionLevel)
        throw PublishError("no compression level " + std::to_string(level));
    Compressor& compressor = compressors[static_cast<std::size_t>(level)];
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(level));
        if (!compressor) throw PublishError("cannot make a compressor");
    }
    return *compressor;
}

// A zlib stream, as zlib's inflate reads it; libdeflate makes it several
// times faster than zlib's deflate at the same level.
std::vector<std::uint8_t> Deflated(std::span<const std::uint8_t> content, int level) {
    libdeflate_compressor& compressor = CompressorAt(level);
    std::vector<std::uint8_t> compressed(libdeflate_zlib_compress_bound(&compressor, content.size()));
    const std::size_t length =
        libdeflate_zlib_compress(&compressor, content.data(), content.size(), compressed.data(), compressed.size());
    if (length == 0) throw PublishError("cannot compress a chunk");
    compressed.resize(length);
    return compressed;
}

// Whether the sample saves at least half of the tenth compression must
// save: the whole chunk, deflated harder and with all of it to match
// against, does better than its slices.
bool SampleMayPay(std::span<const std::uint8_t> content) {
    std::array<std::uint8_t, kSampleSize> sample;
    const std::size_t step = (content.size() - kSliceSize) / (kSlices - 1);
    for (std::size_t i = 0; i < kSlices; ++i)
        std::memcpy(sample.data() + i * kSliceSize, content.data() + i * step, kSliceSize);
    return Deflated(sample, kQuickestCompressionLevel).size() * 20 <= kSampleSize * 19;
}

}  // namespace

bool CompressionPays(std::uint64_t size, std::uint64_t compressedSize) {
    return size > 0 && compressedSize * 10 <= size * 9;
}

std::optional<std::vector<std::uint8_t>> CompressedIfItPays(std::span<const std::uint8_t> content, int level) {
    // A chunk hardly larger than the sample costs little to deflate whole.
    if (content.size() > 2 * kSampleSize && !SampleMayPay(content)) return std::nullopt;
    std::vector<std::uint8_t> compressed = Deflated(content, level);
    if (!CompressionPays(content.size(), compressed.size())) return std::nullopt;
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
