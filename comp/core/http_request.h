#pragma once
// The text of the engine's GET requests: HTTP/1.1, one request per
// connection, to the server itself or, through a proxy, in absolute form.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/data_url.h"

namespace velmora::engine {

// Bytes `first` to `last` (inclusive) of a file.
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
};

// "http://host[:port]/path" (or https) for `path` on the URL's server,
// the path's bytes outside printable ASCII percent-encoded.
std::string AbsoluteUrl(const DataUrl& server, std::string_view path);

// GET `path` (a server path, "/..."; bytes outside printable ASCII are
// percent-encoded) on the URL's server, naming the engine as `userAgent`,
// for `range` when there is one. `viaProxy`: the request goes to a proxy,
// so it names the whole URL. Every answer is asked of the origin, not of a
// cache on the way (Pragma: no-cache), and the connection closes after it.
std::string GetRequest(const DataUrl& server, std::string_view path, std::optional<ByteRange> range,
                       std::string_view userAgent, bool viaProxy);

}  // namespace velmora::engine
