#pragma once
// Unpacks a stored object (a zlib stream, RFC 1950) piece by piece, with the
// output capped at the file's signed size: a stream that would unpack to
// more (a decompression bomb), ends short of it, is corrupt, or has bytes
// after its end is the wrong file (-7).
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "core/engine_status.h"

namespace velmora::engine {

class InflateStream {
public:
    // Receives each piece of unpacked output, in order.
    using Sink = std::function<Result<void>(std::span<const std::uint8_t>)>;

    // Whether the output must be exactly the size given, or may be less
    // (an object whose size is known only as a bound).
    enum class Size { Exact, AtMost };

    InflateStream(std::uint64_t expectedSize, Sink sink, Size size = Size::Exact);
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    // Unpacks the next piece of the stored object.
    Result<void> Feed(std::span<const std::uint8_t> input);
    // After the last piece: the stream ended, at exactly the expected size
    // (or within it, for Size::AtMost).
    Result<void> Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace velmora::engine
