#include "core/chunked_body.h"

#include <algorithm>
#include <cstring>

#include "core/http_response_head.h"

namespace velmora::engine {
namespace {

// A size line is hex digits and perhaps extensions, which nothing here
// uses; a line longer than this is not a size line.
constexpr std::size_t kMaxSizeLine = 1024;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

ChunkedDecoder::Step ChunkedDecoder::Decode(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    Step step;
    while (step.consumed < input.size() && state_ != State::Done && !refusal_) {
        const std::span<const std::uint8_t> rest = input.subspan(step.consumed);
        if (state_ == State::Data) {
            const std::size_t room = output.size() - step.produced;
            if (room == 0) break;
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>({left_, rest.size(), room}));
            std::memcpy(output.data() + step.produced, rest.data(), take);
            step.consumed += take;
            step.produced += take;
            left_ -= take;
            if (left_ == 0) state_ = State::DataEnd;
            continue;
        }
        // The other states read lines.
        const char c = static_cast<char>(rest[0]);
        ++step.consumed;
        if (c != '\n') {
            line_ += c;
            const std::size_t limit = state_ != State::Trailer      ? kMaxSizeLine
                                      : trailerBytes_ < kMaxResponseHeadBytes ? kMaxResponseHeadBytes - trailerBytes_
                                                                              : 0;
            if (line_.size() > limit) Refuse(state_ == State::Trailer ? "trailer too large" : "malformed chunk");
            continue;
        }
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        if (state_ == State::SizeLine) {
            TakeSizeLine();
        } else if (state_ == State::DataEnd) {
            if (!line_.empty()) Refuse("chunk longer than its size");
            state_ = State::SizeLine;
        } else if (line_.empty()) {  // the blank line after the trailer
            state_ = State::Done;
        } else {
            trailerBytes_ += line_.size() + 2;
        }
        line_.clear();
    }
    return step;
}

void ChunkedDecoder::TakeSizeLine() {
    std::uint64_t size = 0;
    std::size_t digits = 0;
    for (; digits < line_.size(); ++digits) {
        const int value = HexValue(line_[digits]);
        if (value < 0) break;
        if (size >> 60) return Refuse("chunk size too large");
        size = size * 16 + static_cast<std::uint64_t>(value);
    }
    const char after = digits < line_.size() ? line_[digits] : ';';
    if (digits == 0 || (after != ';' && after != ' ' && after != '\t')) return Refuse("malformed chunk size line");
    left_ = size;
    state_ = size == 0 ? State::Trailer : State::Data;
}

void ChunkedDecoder::Refuse(std::string reason) {
    refusal_ = std::move(reason);
    line_.clear();
}

}  // namespace velmora::engine
