#pragma once
// What the engine makes of what the network and the server say: WinINet and
// Winsock error numbers, HTTP status codes, Content-Range, and a body that
// ends early. Plain numbers in, statuses out, so that the rules are tested
// without a network.
#include <chrono>
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

// The same for an error that ended a wait of `waited` under a time-out of
// `timeout`: Wine's WinINet ends a wait whose receive time-out passed with
// "connection aborted" (12030) rather than "timed out" (12002), so an
// abort that comes as the time-out runs out is taken for the time-out (-3).
EngineStatus StatusForNetworkError(std::uint32_t error, TransferPhase phase, std::chrono::milliseconds waited,
                                   std::chrono::milliseconds timeout);

// The network's time-out for connecting, sending and each wait for data.
inline constexpr std::chrono::milliseconds kNetworkTimeout{15000};

// The most time a response head may take, from sending the request to the
// blank line after the header fields, however its bytes trickle in: a
// server that answers "200 OK" and then sends a header line every few
// seconds never lets a wait time out. The same as the network time-out, so
// a server that says nothing and one that never finishes its head end
// alike, with -3.
inline constexpr std::chrono::milliseconds kResponseHeadTime{15000};

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;                // inclusive
    std::optional<std::uint64_t> length;   // of the whole object; none for "*"
};

// "bytes <first>-<last>/<length or *>", or nothing when it is not that.
std::optional<ContentRange> ParseContentRange(std::string_view text);

// The request header for bytes `first` to `last` (inclusive) of a pack.
std::string RangeHeader(std::uint64_t first, std::uint64_t last);

// What to make of a pack's answer to a request for bytes `first` to `last`.
// A 206 serves only when its Content-Range is exactly that range (and names
// the signed size as the total, when it names one): any other range is no
// part of the signed pack that can be placed, so the pack is asked for
// whole, without a Range header. A 200 is the whole pack (a server that
// ignores ranges). 416 means the server's pack is shorter than signed (-7);
// any other status is -5.
enum class PackAnswer {
    AskedRange,  // the body is bytes first..last
    WholePack,   // the body is the pack from its first byte
    AskWhole,    // not the range asked for: ask again for the whole pack
};
Result<PackAnswer> CheckPackResponse(unsigned httpStatus, std::optional<std::string_view> contentRange,
                                     std::uint64_t first, std::uint64_t last, std::uint64_t packSize);

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
