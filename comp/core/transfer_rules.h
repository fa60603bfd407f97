#pragma once
// What the engine makes of what the network and the server say: WinINet and
// Winsock error numbers, HTTP status codes, Content-Range, and a body that
// ends early. Plain numbers in, statuses out, so that the rules are tested
// without a network.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/engine_status.h"

namespace velmora::engine {

// Where a request was when the system reported an error: before the
// response's headers came (connecting, sending, waiting), or while the body
// was being read.
enum class TransferPhase { Connecting, ReceivingBody };

// The status for a WinINet (120xx) or Winsock (100xx, 110xx) error number;
// Wine's WinINet passes some Winsock numbers through. Name not resolved -1,
// refused -2, timed out -3; a connection reset or aborted is "other
// connection failure" (-4) before the response and "transfer broken off"
// (-6) during the body; anything else is -4 before and -6 during.
EngineStatus StatusForNetworkError(std::uint32_t error, TransferPhase phase);

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;                // inclusive
    std::optional<std::uint64_t> length;   // of the whole object; none for "*"
};

// "bytes <first>-<last>/<length or *>", or nothing when it is not that.
std::optional<ContentRange> ParseContentRange(std::string_view text);

// The request header that resumes a download at `offset`.
std::string RangeHeader(std::uint64_t offset);

// What to do with an object's response. `offset` is the size of the partial
// download the request asked to resume from (0: no Range header was sent).
// A 206 answer resumes only from `offset`, with a range inside the signed
// `storedSize` and, when it names the object's length, that length.
enum class ResponseUse {
    FromStart,   // a whole object: the partial download is discarded
    Resume,      // the rest of the object, from `offset`
};
Result<ResponseUse> CheckObjectResponse(unsigned httpStatus, std::uint64_t offset,
                                        std::optional<std::string_view> contentRange,
                                        std::uint64_t storedSize);

// For the manifest: only 200 will do; 4xx, 5xx and anything else are -5.
Result<void> CheckManifestResponse(unsigned httpStatus);

// Why a body that ended after `received` bytes, when `wanted` were needed,
// is not good enough: the server announced `announced` bytes (Content-Length)
// or nothing. Ending before the announced length means the connection broke
// (-6); a body delivered in full that is shorter than the signed size is the
// wrong object (-7); without an announced length it cannot be told from a
// broken connection (-6).
EngineError ShortBody(std::uint64_t received, std::uint64_t wanted,
                      std::optional<std::uint64_t> announced);

}  // namespace velmora::engine
