#pragma once
// Reads the head of an HTTP/1.1 response (its status line and header
// fields) as its bytes arrive, within a hard bound on its size: a server
// that sends header lines without end is refused once the head passes
// kMaxResponseHeadBytes, so nothing it sends is kept beyond that.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

// The most a response head may take, interim (1xx) heads included. Real
// servers send a few hundred bytes; common servers refuse request heads
// above 8 to 64 KiB.
inline constexpr std::size_t kMaxResponseHeadBytes = 64 * 1024;

// How the body's end is known.
enum class BodyFraming {
    Length,      // Content-Length bytes (none for 204 and 304)
    Chunked,     // Transfer-Encoding ending in chunked
    UntilClose,  // the connection's end
};

struct HttpResponseHead {
    unsigned status = 0;
    // Content-Length; absent when the body is chunked or runs to the close.
    std::optional<std::uint64_t> contentLength;
    std::optional<std::string> contentRange;
    BodyFraming framing = BodyFraming::UntilClose;
};

class ResponseHeadReader {
public:
    // Takes the next bytes of the connection and returns how many of them
    // belong to the head: once the head is complete or refused, the rest
    // are not taken (they begin the body).
    std::size_t Feed(std::string_view bytes);

    bool Complete() const noexcept { return complete_; }
    // Why the head is refused (too large, not HTTP/1.x, a malformed line,
    // conflicting lengths), once it is.
    const std::optional<std::string>& Refusal() const noexcept { return refusal_; }
    // The head, once Complete().
    const HttpResponseHead& Head() const noexcept { return head_; }

private:
    void TakeLine(std::string_view line);
    void TakeStatusLine(std::string_view line);
    void TakeField(std::string_view line);
    void EndOfHead();
    void Refuse(std::string reason);

    std::string line_;
    std::size_t taken_ = 0;
    bool statusSeen_ = false;
    bool complete_ = false;
    bool chunked_ = false;
    bool transferEncoding_ = false;
    std::optional<std::string> refusal_;
    HttpResponseHead head_;
};

}  // namespace velmora::engine
