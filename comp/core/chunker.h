#pragma once
// Cuts a byte stream into chunks at boundaries its content chooses (a gear
// rolling hash, FastCDC style), so that an edit in the middle of a file
// changes only the chunks around the edit: every later boundary keeps its
// place relative to the content, and those chunks stay the same.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/manifest.h"

namespace velmora::engine {

// An average of 64 KiB (about 70 KiB in practice, with the minimum) keeps
// the manifest to about one 100-byte line per 64 KiB of game data (about
// 0.15 %, half that once the manifest is compressed), while a 1 MiB edit
// costs about 1 MiB plus a chunk or two on each side. Smaller chunks make
// the edges of an edit cheaper and the manifest larger: for a 1 MiB
// insertion and a 1 MiB overwrite in a 256 MiB file, these sizes gave the
// smallest sum of the two of the sizes tried (about 2.4 MiB on average,
// against 2.85 MiB with 128 KiB chunks). The maximum bounds the memory a chunk needs when it is checked
// or unpacked; the minimum keeps content that matches the hash often from
// making lines by the thousand.
//
// These sizes, and the gear table and masks in chunker.cpp, decide where
// every boundary falls: a release must be cut as the previous one was for
// their chunks to match. Changing any of them changes every chunk of every
// later release, and each player downloads the whole game once more.
inline constexpr std::uint64_t kMinChunkSize = 16 * 1024;
inline constexpr std::uint64_t kAverageChunkSize = 64 * 1024;
// The longest chunk the cutter makes. The manifest takes chunks up to
// kMaxChunkSize (512 KiB), so releases cut with larger chunks still read.
inline constexpr std::uint64_t kMaxCutChunkSize = 256 * 1024;
static_assert(kMaxCutChunkSize <= kMaxChunkSize);

// Fed a stream in pieces of any size, it gives the lengths of its chunks as
// they complete. The lengths depend on the bytes alone, never on how they
// were split into pieces. Every chunk but the stream's last is
// kMinChunkSize to kMaxCutChunkSize long; the last is 1 to kMaxCutChunkSize.
class ChunkCutter {
public:
    // The lengths of the chunks these bytes complete, in order.
    std::vector<std::uint64_t> Feed(std::span<const std::uint8_t> bytes);

    // Ends the stream: the length of its last chunk, or nothing when the
    // stream was empty or ended on a boundary. The cutter is then ready for
    // another stream.
    std::optional<std::uint64_t> Finish();

private:
    std::uint64_t length_ = 0;  // bytes of the current chunk so far
    std::uint64_t hash_ = 0;    // of the bytes hashed so far of this chunk
};

// The chunk lengths of a whole stream held in memory; they sum to its size.
std::vector<std::uint64_t> ChunkLengths(std::span<const std::uint8_t> whole);

}  // namespace velmora::engine
