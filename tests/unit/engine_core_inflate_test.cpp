// Unpacking a stored object with its output capped at the file's size, fed
// in pieces of any size as the download comes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "core/inflate_stream.h"
#include "zlib_compress.h"

namespace velmora::engine {
namespace {

using testing::Compressed;

// The result of unpacking `packed` in pieces of `piece` bytes to a file of
// `expected` bytes (at most that many, with InflateStream::Size::AtMost);
// `out` receives what came out.
Result<void> Unpack(const std::string& packed, std::size_t piece, std::uint64_t expected, std::string& out,
                    InflateStream::Size size = InflateStream::Size::Exact) {
    InflateStream inflate(
        expected,
        [&](std::span<const std::uint8_t> bytes) -> Result<void> {
            out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            return {};
        },
        size);
    for (std::size_t at = 0; at < packed.size(); at += piece) {
        const std::string part = packed.substr(at, piece);
        if (auto fed = inflate.Feed({reinterpret_cast<const std::uint8_t*>(part.data()), part.size()}); !fed)
            return fed;
    }
    return inflate.Finish();
}

TEST(EngineCoreInflate, OutputIsExactAndCappedWhateverThePieces) {
    // Highly compressible: a few input bytes make several 64 KiB output
    // buffers, the case where zlib holds output back.
    const std::string content(1 << 20, 'z');
    const std::string packed = Compressed(content);
    const struct {
        const char* name;
        std::string input;
        std::size_t piece;
        std::uint64_t expected;
        bool ok;
        InflateStream::Size size = InflateStream::Size::Exact;
    } cases[] = {
        {"whole", packed, packed.size(), content.size(), true},
        {"byte by byte", packed, 1, content.size(), true},
        {"odd pieces", packed, 7, content.size(), true},
        {"file is a byte smaller than the stream (bomb)", packed, 1, content.size() - 1, false},
        {"file is a byte larger than the stream", packed, packed.size(), content.size() + 1, false},
        {"stream cut short", packed.substr(0, packed.size() - 4), 3, content.size(), false},
        {"bytes after the stream", packed + "x", 5, content.size(), false},
        {"not zlib", content.substr(0, 100), 100, 100, false},
        {"within a bound", packed, 9, content.size() + 1, true, InflateStream::Size::AtMost},
        {"at a bound", packed, 9, content.size(), true, InflateStream::Size::AtMost},
        {"a byte over a bound", packed, 9, content.size() - 1, false, InflateStream::Size::AtMost},
        {"cut short within a bound", packed.substr(0, packed.size() - 4), 9, content.size() + 1, false,
         InflateStream::Size::AtMost},
    };
    for (const auto& c : cases) {
        std::string out;
        const Result<void> result = Unpack(c.input, c.piece, c.expected, out, c.size);
        EXPECT_EQ(result.Ok(), c.ok) << c.name;
        EXPECT_LE(out.size(), c.expected) << c.name << ": never more than the file's size comes out";
        if (c.ok) {
            EXPECT_TRUE(out == content) << c.name;
        } else {
            EXPECT_EQ(result.Error().status, EngineStatus::WrongFile) << c.name;
        }
    }
}

TEST(EngineCoreInflate, SinkFailureStopsTheUnpacking) {
    const std::string packed = Compressed(std::string(200000, 'q'));
    int calls = 0;
    InflateStream inflate(200000, [&](std::span<const std::uint8_t>) -> Result<void> {
        ++calls;
        return EngineError{EngineStatus::WrongFile, "disk full"};
    });
    const auto fed = inflate.Feed({reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size()});
    ASSERT_FALSE(fed);
    EXPECT_EQ(fed.Error().reason, "disk full");
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace velmora::engine
