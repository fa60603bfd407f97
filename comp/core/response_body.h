#pragma once
// The body of a response, taken from the bytes of its connection by the
// body's framing (http_response_head.h): no byte past a Content-Length is
// read, a chunked body is decoded, and a body without either runs to the
// connection's end.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/chunked_body.h"
#include "core/engine_status.h"
#include "core/http_response_head.h"

namespace velmora::engine {

// Reads the connection's next bytes into the span: how many came, 0 once
// it ended, or why it failed.
using ReceiveFunction = std::function<Result<std::size_t>(std::span<std::uint8_t>)>;

class ResponseBody {
public:
    // `early`: the bytes that came with the head, after it.
    ResponseBody(const HttpResponseHead& head, std::vector<std::uint8_t> early);

    // The body's next bytes, at most `into.size()`; 0 once the body ended.
    // A chunked body the connection ends before its last chunk, or one that
    // is malformed, is a broken transfer (-6). A body shorter than its
    // Content-Length just ends: what that means is the caller's to say.
    Result<std::size_t> Read(std::span<std::uint8_t> into, const ReceiveFunction& receive);

private:
    Result<std::size_t> ReadChunked(std::span<std::uint8_t> into, const ReceiveFunction& receive);

    BodyFraming framing_;
    std::uint64_t left_ = 0;  // for BodyFraming::Length
    std::vector<std::uint8_t> raw_;
    std::size_t rawStart_ = 0;
    bool ended_ = false;
    ChunkedDecoder chunks_;
};

}  // namespace velmora::engine
