#include "core/http_request.h"

#include "core/transfer_rules.h"

namespace velmora::engine {
namespace {

std::string HostAndPort(const DataUrl& server) {
    std::string text = server.host.find(':') != std::string::npos ? "[" + server.host + "]" : server.host;
    if (server.port != (server.secure ? 443 : 80)) text += ":" + std::to_string(server.port);
    return text;
}

std::string Escaped(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 0x20 && u < 0x7f) {
            text += c;
        } else {
            text += '%';
            text += kHex[u >> 4];
            text += kHex[u & 15];
        }
    }
    return text;
}

}  // namespace

std::string AbsoluteUrl(const DataUrl& server, std::string_view path) {
    return (server.secure ? "https://" : "http://") + HostAndPort(server) + Escaped(path);
}

std::string GetRequest(const DataUrl& server, std::string_view path, std::optional<ByteRange> range,
                       std::string_view userAgent, bool viaProxy) {
    const std::string host = HostAndPort(server);
    std::string text = "GET " + (viaProxy ? AbsoluteUrl(server, path) : Escaped(path));
    text += " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: ";
    text += userAgent;
    text += "\r\n";
    if (range) text += RangeHeader(range->first, range->last) + "\r\n";
    text += "Pragma: no-cache\r\nConnection: close\r\n\r\n";
    return text;
}

}  // namespace velmora::engine
