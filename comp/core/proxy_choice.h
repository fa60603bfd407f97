#pragma once
// Which proxy, if any, a request for a host goes through, from the
// system's proxy settings as Windows keeps them for the user: a proxy list
// ("host:port" for every scheme, or "http=host:port;https=host:port", as
// Internet Options writes it) and a bypass list ("<local>;*.example.com;
// 10.*"), or automatic configuration's answer for the URL. Loopback
// addresses never go through a proxy, as with WinINet.
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

// What automatic configuration (a proxy script named by URL or found by
// WPAD) answered for a URL: the proxies to use, in the form of the fixed
// list (empty: connect directly), and addresses that bypass them.
struct AutomaticProxyAnswer {
    std::string proxyList;
    std::string bypassList;
};

// The same when the settings ask for automatic configuration: its answer
// where it gave one, even one to connect directly; else, when it could not
// (no script found or it did not run), the fixed lists.
std::optional<ProxyAddress> HttpProxyFor(const std::optional<AutomaticProxyAnswer>& automatic,
                                         std::string_view proxyList, std::string_view bypassList,
                                         std::string_view host);

}  // namespace velmora::engine
