#include "core/inflate_stream.h"

#include <zlib.h>

#include <array>
#include <string>

namespace velmora::engine {
namespace {

EngineError Wrong(std::string reason) { return {EngineStatus::WrongFile, std::move(reason)}; }

}  // namespace

struct InflateStream::State {
    z_stream zs{};
    bool initialised = false;
    bool ended = false;
    std::uint64_t expected = 0;
    bool exact = true;
    std::uint64_t produced = 0;
    Sink sink;
    std::array<std::uint8_t, 64 * 1024> out{};
};

InflateStream::InflateStream(std::uint64_t expectedSize, Sink sink, Size size) : state_(std::make_unique<State>()) {
    state_->expected = expectedSize;
    state_->exact = size == Size::Exact;
    state_->sink = std::move(sink);
    state_->initialised = inflateInit(&state_->zs) == Z_OK;
}

InflateStream::~InflateStream() {
    if (state_->initialised) inflateEnd(&state_->zs);
}

Result<void> InflateStream::Feed(std::span<const std::uint8_t> input) {
    State& s = *state_;
    if (!s.initialised) return Wrong("zlib could not be initialised");
    if (input.empty()) return {};
    if (s.ended) return Wrong("data after the end of the compressed stream");

    // zlib's next_in is not const in older headers; it never writes there.
    std::span<const std::uint8_t> rest = input;
    while (!rest.empty()) {
        // zlib counts in uInt: feed at most 1 GiB at a time.
        const std::size_t piece = rest.size() < (std::size_t{1} << 30) ? rest.size() : (std::size_t{1} << 30);
        s.zs.next_in = const_cast<Bytef*>(rest.data());
        s.zs.avail_in = static_cast<uInt>(piece);
        for (;;) {
            s.zs.next_out = s.out.data();
            s.zs.avail_out = static_cast<uInt>(s.out.size());
            const int result = inflate(&s.zs, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
                return Wrong(std::string("compressed data is corrupt: ") + (s.zs.msg ? s.zs.msg : "zlib error"));
            const std::size_t made = s.out.size() - s.zs.avail_out;
            if (made > s.expected - s.produced)
                return Wrong("unpacks to more than the " + std::to_string(s.expected) + " bytes of the file");
            s.produced += made;
            if (made > 0)
                if (auto written = s.sink(std::span<const std::uint8_t>(s.out.data(), made)); !written)
                    return written;
            if (result == Z_STREAM_END) {
                s.ended = true;
                break;
            }
            // A full output buffer may leave more output inside zlib: go on
            // until the input is used up and the output no longer fills it.
            if (s.zs.avail_in == 0 && s.zs.avail_out != 0) break;
            if (result == Z_BUF_ERROR && made == 0) break;
        }
        if (s.ended && s.zs.avail_in > 0) return Wrong("data after the end of the compressed stream");
        rest = rest.subspan(piece);
    }
    return {};
}

Result<void> InflateStream::Finish() {
    const State& s = *state_;
    if (!s.initialised) return Wrong("zlib could not be initialised");
    if (!s.ended) return Wrong("compressed stream ends early, after " + std::to_string(s.produced) + " bytes");
    if (s.exact && s.produced != s.expected)
        return Wrong("unpacks to " + std::to_string(s.produced) + " bytes, the manifest says " +
                     std::to_string(s.expected));
    return {};
}

}  // namespace velmora::engine
