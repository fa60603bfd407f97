#include "core/response_body.h"

#include <algorithm>
#include <cstring>

namespace velmora::engine {
namespace {

// Raw bytes read at once for a chunked body: large reads, as each one can
// cost a round trip to the system.
constexpr std::size_t kChunkedReadSize = 256 * 1024;

}  // namespace

ResponseBody::ResponseBody(const HttpResponseHead& head, std::vector<std::uint8_t> early)
    : framing_(head.framing), left_(head.contentLength.value_or(0)), raw_(std::move(early)) {}

Result<std::size_t> ResponseBody::Read(std::span<std::uint8_t> into, const ReceiveFunction& receive) {
    if (into.empty() || ended_) return std::size_t{0};
    if (framing_ == BodyFraming::Chunked) return ReadChunked(into, receive);
    if (framing_ == BodyFraming::Length) {
        if (left_ == 0) return std::size_t{0};
        into = into.first(static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), left_)));
    }
    std::size_t got = 0;
    if (rawStart_ < raw_.size()) {
        got = std::min(into.size(), raw_.size() - rawStart_);
        std::memcpy(into.data(), raw_.data() + rawStart_, got);
        rawStart_ += got;
    } else {
        auto received = receive(into);
        if (!received) return received.Error();
        got = received.Value();
        if (got == 0) ended_ = true;
    }
    if (framing_ == BodyFraming::Length) left_ -= got;
    return got;
}

Result<std::size_t> ResponseBody::ReadChunked(std::span<std::uint8_t> into, const ReceiveFunction& receive) {
    for (;;) {
        if (rawStart_ == raw_.size()) {
            raw_.resize(kChunkedReadSize);
            rawStart_ = 0;
            auto received = receive(raw_);
            if (!received) return received.Error();
            raw_.resize(received.Value());
            if (raw_.empty())
                return EngineError{EngineStatus::TransferBroken, "connection ended inside a chunked body"};
        }
        const auto step = chunks_.Decode(std::span<const std::uint8_t>(raw_).subspan(rawStart_), into);
        rawStart_ += step.consumed;
        if (chunks_.Refusal())
            return EngineError{EngineStatus::TransferBroken, "chunked body: " + *chunks_.Refusal()};
        if (chunks_.Finished()) ended_ = true;
        if (step.produced > 0 || ended_) return step.produced;
    }
}

}  // namespace velmora::engine
