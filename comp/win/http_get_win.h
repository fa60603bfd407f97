#pragma once
// One HTTP GET, performed on a helper thread while the engine's thread
// waits for its head and body pieces; raising the cancel flag ends that
// wait at once. Plain HTTP goes over a connection of the engine's own
// (tcp_connection_win.h), HTTPS through WinINet (internet_session_win.h).
// The response head is bounded: it must end within `headTime` of sending
// the request (-3 otherwise) and within kMaxResponseHeadBytes (-4
// otherwise; over WinINet only the time is bounded). Abandoning a request
// shuts its connection or closes its WinINet handle; Wine does not unblock
// a WinINet call that way (a blocked read runs on until its time-out), so
// the waiting is done here instead: the engine's thread leaves at once and
// the helper ends by itself when its call returns. The helper owns nothing
// but its network handles and a share of the session, so nothing of the
// engine's files waits for it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/cancel_flag.h"
#include "core/engine_status.h"
#include "core/http_request.h"
#include "core/rate_floor.h"
#include "core/transfer_rules.h"
#include "internet_session_win.h"

namespace velmora::engine {

struct ResponseHead {
    unsigned status = 0;
    std::optional<std::uint64_t> contentLength;
    std::optional<std::string> contentRange;
};

class HttpGet {
public:
    // Starts GET `path` on the session's server, with a Range header from
    // `range` when there is one. The helper reads at most `bodyLimit`
    // bytes of the body: more is never needed (endless data). A body that
    // comes slower than `floor` for its whole window ends with -3; the time
    // the engine falls behind in taking the pieces does not count. A
    // response head that has not ended `headTime` after the request was
    // sent ends with -3.
    HttpGet(std::shared_ptr<const InternetSession> session, std::string path, std::optional<ByteRange> range,
            std::uint64_t bodyLimit, RateFloorLimits floor = kTransferRateFloor,
            std::chrono::milliseconds headTime = kResponseHeadTime);
    // Abandons the request: closes its handle and leaves the helper to end.
    ~HttpGet();
    HttpGet(const HttpGet&) = delete;
    HttpGet& operator=(const HttpGet&) = delete;

    // The response's status line and headers; -1 to -4 when no response
    // came: -3 when it timed out, -4 when the head was too large or no
    // HTTP/1.x head.
    Result<ResponseHead> Head(const CancelFlag& cancel);
    // The next piece of the body, valid until the next call; empty once the
    // body ended (or `bodyLimit` bytes came). -3 when it timed out or
    // crawled below the floor, -6 when the transfer broke.
    Result<std::span<const std::uint8_t>> NextPiece(const CancelFlag& cancel);

    struct Exchange;

private:
    std::shared_ptr<Exchange> exchange_;
    std::vector<std::uint8_t> piece_;
};

}  // namespace velmora::engine
