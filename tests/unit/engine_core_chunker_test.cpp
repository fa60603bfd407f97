// Content-defined chunking: the lengths do not depend on how the stream is
// fed and stay within the sizes, and an edit changes only the chunks
// around it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <optional>
#include <random>
#include <string_view>
#include <unordered_set>

#include "core/chunker.h"

namespace velmora::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kMiB = 1024 * 1024;

Bytes RandomBytes(std::size_t size, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    Bytes bytes(size);
    for (std::size_t at = 0; at < size; at += 8) {
        const std::uint64_t value = random();
        std::memcpy(bytes.data() + at, &value, std::min<std::size_t>(8, size - at));
    }
    return bytes;
}

// Fed to `cutter` in pieces whose sizes cycle through `pieces`.
std::vector<std::uint64_t> LengthsFedInPieces(ChunkCutter& cutter, const Bytes& bytes,
                                              const std::vector<std::size_t>& pieces) {
    std::vector<std::uint64_t> lengths;
    std::span<const std::uint8_t> rest(bytes);
    for (std::size_t i = 0; !rest.empty(); ++i) {
        const std::size_t piece = std::min(pieces[i % pieces.size()], rest.size());
        const std::vector<std::uint64_t> completed = cutter.Feed(rest.first(piece));
        lengths.insert(lengths.end(), completed.begin(), completed.end());
        rest = rest.subspan(piece);
    }
    if (const std::optional<std::uint64_t> last = cutter.Finish()) lengths.push_back(*last);
    return lengths;
}

std::vector<std::string_view> Chunks(const Bytes& bytes) {
    std::vector<std::string_view> chunks;
    const char* at = reinterpret_cast<const char*>(bytes.data());
    for (const std::uint64_t length : ChunkLengths(bytes)) {
        chunks.emplace_back(at, length);
        at += length;
    }
    return chunks;
}

TEST(EngineCoreChunker, LengthsStayWithinTheSizesWhateverThePieces) {
    const Bytes random = RandomBytes(8 * kMiB, 1);
    const struct {
        const char* name;
        Bytes input;
        std::optional<std::vector<std::uint64_t>> lengths;  // when known in advance
    } cases[] = {
        {"empty", {}, std::vector<std::uint64_t>{}},
        {"smaller than the minimum", Bytes(random.begin(), random.begin() + 1000), std::vector<std::uint64_t>{1000}},
        {"one value repeated never matches, so it is cut at the maximum", Bytes(3 * kMaxCutChunkSize + 5, 0),
         std::vector<std::uint64_t>{kMaxCutChunkSize, kMaxCutChunkSize, kMaxCutChunkSize, 5}},
        {"random", random, std::nullopt},
    };
    // Small pieces carry the hash from piece to piece at nearly every test;
    // large ones complete several chunks at once. One cutter serves every
    // stream after the first in turn.
    std::vector<std::size_t> smallPieces(97);
    std::iota(smallPieces.begin(), smallPieces.end(), 1);
    const std::vector<std::size_t> largePieces = {100'003, kMiB + 1};
    ChunkCutter reused;
    for (const auto& c : cases) {
        const std::vector<std::uint64_t> whole = ChunkLengths(c.input);
        ChunkCutter fresh;
        EXPECT_EQ(LengthsFedInPieces(fresh, c.input, smallPieces), whole) << c.name << ", small pieces";
        EXPECT_EQ(LengthsFedInPieces(reused, c.input, largePieces), whole) << c.name << ", large pieces";
        if (c.lengths) {
            EXPECT_EQ(whole, *c.lengths) << c.name;
        }

        std::uint64_t total = 0;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            const bool last = i + 1 == whole.size();
            EXPECT_GE(whole[i], last ? 1 : kMinChunkSize) << c.name << ", chunk " << i;
            EXPECT_LE(whole[i], kMaxCutChunkSize) << c.name << ", chunk " << i;
            total += whole[i];
        }
        EXPECT_EQ(total, c.input.size()) << c.name;
    }

    const std::size_t count = ChunkLengths(random).size();
    const std::size_t average = random.size() / count;
    EXPECT_GT(average, kAverageChunkSize * 3 / 4) << count << " chunks";
    EXPECT_LT(average, kAverageChunkSize * 5 / 4) << count << " chunks";
}

TEST(EngineCoreChunker, AnEditChangesOnlyTheChunksAroundIt) {
    // About 1 MiB inserted at 3 MiB, and 1 MiB overwritten from 6 MiB on
    // in the original. The insertion is no multiple of any chunk size, so
    // that cutting at fixed lengths would show.
    const Bytes original = RandomBytes(8 * kMiB, 1);
    const Bytes inserted = RandomBytes(kMiB + 12'345, 2);
    const Bytes overwritten = RandomBytes(kMiB, 3);
    Bytes edited(original.begin(), original.begin() + 3 * kMiB);
    edited.insert(edited.end(), inserted.begin(), inserted.end());
    edited.insert(edited.end(), original.begin() + 3 * kMiB, original.end());
    std::copy(overwritten.begin(), overwritten.end(), edited.begin() + 6 * kMiB + inserted.size());

    const std::vector<std::string_view> before = Chunks(original);
    const std::vector<std::string_view> after = Chunks(edited);
    const auto bytesNotIn = [](const std::vector<std::string_view>& chunks,
                               const std::vector<std::string_view>& others) {
        const std::unordered_set<std::string_view> known(others.begin(), others.end());
        std::uint64_t bytes = 0;
        for (const std::string_view chunk : chunks)
            if (!known.contains(chunk)) bytes += chunk.size();
        return bytes;
    };
    // What a player downloads: the bytes written and a chunk or so beside
    // each edge of an edit, 256 KiB at most here (128 KiB chunks took
    // 360 KiB). Had the boundaries after the insertion moved with it, the
    // whole 6 MiB after it would be new.
    const std::uint64_t written = inserted.size() + overwritten.size();
    const std::uint64_t downloaded = bytesNotIn(after, before);
    EXPECT_GE(downloaded, written);
    EXPECT_LE(downloaded, written + 256 * 1024);
    // What the publication no longer holds: the 1 MiB overwritten and the
    // chunks cut by the edges of both edits.
    EXPECT_LE(bytesNotIn(before, after), 2 * kMiB);
}

}  // namespace
}  // namespace velmora::engine
