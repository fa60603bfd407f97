#include "core/proxy_choice.h"

#include <vector>

#include "core/decimal.h"
#include "core/star_match.h"

namespace velmora::engine {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The entries of a list separated by ';', ',' or white space.
std::vector<std::string_view> Entries(std::string_view list) {
    std::vector<std::string_view> entries;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= list.size(); ++i) {
        if (i < list.size() && std::string_view(";, \t\r\n").find(list[i]) == std::string_view::npos) continue;
        if (i > start) entries.push_back(list.substr(start, i - start));
        start = i + 1;
    }
    return entries;
}

// `text` against a pattern in which '*' stands for any run of characters,
// without regard to case.
bool Matches(std::string_view pattern, std::string_view text) {
    return StarMatches(pattern, text, [](char a, char b) { return Lower(a) == Lower(b); });
}

bool SameText(std::string_view a, std::string_view b) {
    return a.find('*') == std::string_view::npos && Matches(a, b);
}

bool IsLoopback(std::string_view host) {
    return SameText("localhost", host) || host.starts_with("127.") || host == "::1";
}

std::optional<ProxyAddress> ParseAddress(std::string_view text) {
    if (const std::size_t scheme = text.find("://"); scheme != std::string_view::npos) text.remove_prefix(scheme + 3);
    if (!text.empty() && text.back() == '/') text.remove_suffix(1);
    ProxyAddress address;
    std::string_view host = text;
    const std::size_t colon = text.rfind(':');
    const bool bracketed = text.starts_with('[');
    if (colon != std::string_view::npos && (!bracketed || text[colon - 1] == ']')) {
        const std::optional<std::uint64_t> port = ParseDecimal(text.substr(colon + 1));
        if (!port || *port == 0 || *port > 65535) return std::nullopt;
        address.port = static_cast<std::uint16_t>(*port);
        host = text.substr(0, colon);
    }
    if (bracketed) {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) return std::nullopt;
    address.host = std::string(host);
    return address;
}

}  // namespace

std::optional<ProxyAddress> HttpProxyFor(std::string_view proxyList, std::string_view bypassList,
                                         std::string_view host) {
    if (IsLoopback(host)) return std::nullopt;
    for (const std::string_view entry : Entries(bypassList)) {
        const bool local = SameText(entry, "<local>");
        if (local ? host.find('.') == std::string_view::npos && host.find(':') == std::string_view::npos
                  : Matches(entry, host))
            return std::nullopt;
    }
    // A "http=" entry is for plain HTTP; an entry without a scheme is for
    // every scheme, unless one names http.
    std::optional<ProxyAddress> forEveryScheme;
    for (const std::string_view entry : Entries(proxyList)) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            if (!forEveryScheme) forEveryScheme = ParseAddress(entry);
        } else if (SameText("http", entry.substr(0, equals))) {
            return ParseAddress(entry.substr(equals + 1));
        }
    }
    return forEveryScheme;
}

std::optional<ProxyAddress> HttpProxyFor(const std::optional<AutomaticProxyAnswer>& automatic,
                                         std::string_view proxyList, std::string_view bypassList,
                                         std::string_view host) {
    if (automatic) return HttpProxyFor(automatic->proxyList, automatic->bypassList, host);
    return HttpProxyFor(proxyList, bypassList, host);
}

}  // namespace velmora::engine
