#pragma once
// A chunk's stored form: a zlib stream (RFC 1950) when that saves at least a
// tenth of its size, else its content as it is.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::publish {

// How hard chunks are compressed: 1 is the quickest, 12 gives the smallest
// packs. The default gives packs smaller than zlib's own default level does,
// in about half its time; the quickest publishes text faster, with packs
// about a third larger.
inline constexpr int kQuickestCompressionLevel = 1;
inline constexpr int kSmallestCompressionLevel = 12;
inline constexpr int kDefaultCompressionLevel = 6;

// Compression pays when it saves at least 10 % of the size.
bool CompressionPays(std::uint64_t size, std::uint64_t compressedSize);

// The content deflated, when that pays; nothing when the chunk is better
// stored as it is. Content that a quick look finds incompressible (a few
// slices of it, deflated at the fastest level, save under half of what
// compression must save) is not deflated whole: most of a game's bulk is
// already compressed (audio, textures, archives), and deflating it only to
// throw the result away is what would cost the most.
// `level`: from kQuickestCompressionLevel to kSmallestCompressionLevel.
std::optional<std::vector<std::uint8_t>> CompressedIfItPays(std::span<const std::uint8_t> content,
                                                            int level = kDefaultCompressionLevel);

// What `stored` holds once unpacked: the bytes themselves when `size` equals
// their count, else the content of the zlib stream they are. Nothing when
// that stream is broken, ends early, unpacks to other than `size` bytes or
// is followed by more bytes.
std::optional<std::vector<std::uint8_t>> ChunkContent(std::span<const std::uint8_t> stored, std::uint32_t size);

}  // namespace velmora::publish
