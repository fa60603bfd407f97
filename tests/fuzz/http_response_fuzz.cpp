// libFuzzer target for a server's answer as the engine's own HTTP client
// reads it: the response head, then the body by its framing (length,
// chunked, to the close). The first input byte chooses how the bytes are
// split into reads; the rest is what the server sent. It checks:
// - the head reader takes no more than kMaxResponseHeadBytes, and reads the
//   same head (or refuses it for the same reason) however the bytes are
//   split;
// - the body never yields more bytes than came after the head, never more
//   than a Content-Length, and the same body (or the same failure) however
//   the bytes are split and read.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/http_response_head.h"
#include "core/response_body.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

struct Reading {
    std::size_t used = 0;
    bool complete = false;
    std::optional<std::string> refusal;
    HttpResponseHead head;
};

Reading ReadHead(std::string_view bytes, std::size_t step) {
    ResponseHeadReader reader;
    Reading reading;
    while (reading.used < bytes.size() && !reader.Complete() && !reader.Refusal()) {
        const std::string_view piece = bytes.substr(reading.used, step);
        const std::size_t took = reader.Feed(piece);
        Check(took <= piece.size(), "takes no more than it is given");
        reading.used += took;
        if (took < piece.size()) break;
    }
    reading.complete = reader.Complete();
    reading.refusal = reader.Refusal();
    reading.head = reader.Head();
    return reading;
}

// The body after the head, or the failure's reason.
std::string ReadBody(const HttpResponseHead& head, std::string_view rest, std::size_t early, std::size_t step,
                     std::size_t readSize) {
    early = std::min(early, rest.size());
    ResponseBody body(head, std::vector<std::uint8_t>(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(early)));
    std::size_t at = early;
    const ReceiveFunction receive = [&](std::span<std::uint8_t> into) -> Result<std::size_t> {
        const std::size_t n = std::min({step, into.size(), rest.size() - at});
        std::copy_n(rest.begin() + static_cast<std::ptrdiff_t>(at), n, into.begin());
        at += n;
        return n;
    };
    std::string text;
    std::vector<std::uint8_t> buffer(readSize);
    for (;;) {
        auto got = body.Read(buffer, receive);
        if (!got) return "failed: " + got.Error().reason;
        Check(got.Value() <= buffer.size(), "reads no more than asked");
        if (got.Value() == 0) return text;
        text.append(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got.Value()));
        Check(text.size() <= rest.size(), "no more body than came");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t step = 1 + (data[0] & 0x3f);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const Reading whole = ReadHead(bytes, bytes.size() + 1);
    const Reading split = ReadHead(bytes, step);
    Check(whole.used <= kMaxResponseHeadBytes, "head within its bound");
    Check(whole.used == split.used && whole.complete == split.complete && whole.refusal == split.refusal,
          "same reading however split");
    Check(!(whole.complete && whole.refusal), "complete or refused, not both");
    if (!whole.complete) return 0;
    Check(whole.head.status == split.head.status && whole.head.contentLength == split.head.contentLength &&
              whole.head.contentRange == split.head.contentRange && whole.head.framing == split.head.framing,
          "same head however split");
    Check(whole.head.status >= 200 && whole.head.status <= 999, "a final status");

    const std::string_view rest = bytes.substr(whole.used);
    const std::string body = ReadBody(whole.head, rest, rest.size(), rest.size() + 1, 4096);
    const std::string again = ReadBody(whole.head, rest, data[0] >> 6, step, step * 3);
    Check(body == again, "same body however split and read");
    if (whole.head.framing == BodyFraming::Length && !body.starts_with("failed: "))
        Check(body.size() <= *whole.head.contentLength, "no more than the Content-Length");
    return 0;
}
