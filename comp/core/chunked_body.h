#pragma once
// Decodes a body sent with Transfer-Encoding: chunked (RFC 9112, 7.1), in
// place and as its bytes arrive. Size lines and trailer fields are bounded:
// a server that sends them without end is refused, never buffered.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace velmora::engine {

class ChunkedDecoder {
public:
    struct Step {
        std::size_t consumed = 0;  // bytes of the input taken
        std::size_t produced = 0;  // body bytes written to the output
    };

    // Takes bytes from `input` and writes the body's data they carry to
    // `output`, as much as fits; stops early when the body ended or the
    // input is refused.
    Step Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output);

    bool Finished() const noexcept { return state_ == State::Done; }
    const std::optional<std::string>& Refusal() const noexcept { return refusal_; }

private:
    enum class State { SizeLine, Data, DataEnd, Trailer, Done };
    void TakeSizeLine();
    void Refuse(std::string reason);

    State state_ = State::SizeLine;
    std::string line_;
    std::uint64_t left_ = 0;  // of the current chunk's data
    std::size_t trailerBytes_ = 0;
    std::optional<std::string> refusal_;
};

}  // namespace velmora::engine
