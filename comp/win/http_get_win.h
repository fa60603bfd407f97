#pragma once
// One HTTP GET through WinINet, performed on a helper thread while the
// engine's thread waits for its head and body pieces, checking the cancel
// flag all the while. Windows unblocks a WinINet call when its handle is
// closed, and the engine closes it on cancel; Wine does not (a blocked read
// runs on until its time-out), so the waiting is done here instead: the
// engine's thread leaves at once and the helper ends by itself when its call
// returns. The helper owns nothing but its network handles and a share of
// the session, so nothing of the engine's files waits for it.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cancel_flag.h"
#include "core/engine_status.h"
#include "core/rate_floor.h"
#include "internet_session_win.h"

namespace velmora::engine {

struct ResponseHead {
    unsigned status = 0;
    std::optional<std::uint64_t> contentLength;
    std::optional<std::string> contentRange;
};

// Bytes `first` to `last` (inclusive) of a file.
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

class HttpGet {
public:
    // Starts GET `path` on the session's server, with a Range header from
    // `range` when there is one. The helper reads at most `bodyLimit`
    // bytes of the body: more is never needed (endless data). A body that
    // comes slower than `floor` for its whole window ends with -3; the time
    // the engine falls behind in taking the pieces does not count.
    HttpGet(std::shared_ptr<const InternetSession> session, std::string path, std::optional<ByteRange> range,
            std::uint64_t bodyLimit, RateFloorLimits floor = kTransferRateFloor);
    // Abandons the request: closes its handle and leaves the helper to end.
    ~HttpGet();
    HttpGet(const HttpGet&) = delete;
    HttpGet& operator=(const HttpGet&) = delete;

    // The response's status line and headers; -1 to -4 when no response came.
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
