#pragma once
// Which proxy, if any, a request for a host goes through, from the
// system's proxy settings as Windows keeps them for the user: a proxy list
// ("host:port" for every scheme, or "http=host:port;https=host:port", as
// Internet Options writes it) and a bypass list ("<local>;*.example.com;
// 10.*"). Loopback addresses never go through a proxy, as with WinINet.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

struct ProxyAddress {
    std::string host;
    std::uint16_t port = 80;

    bool operator==(const ProxyAddress&) const = default;
};

// The proxy for a plain-HTTP request to `host`, or nothing for a direct
// connection (no proxy for http, a bypass entry matches, or the list cannot
// be read).
std::optional<ProxyAddress> HttpProxyFor(std::string_view proxyList, std::string_view bypassList,
                                         std::string_view host);

}  // namespace velmora::engine
