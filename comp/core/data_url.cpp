#include "core/data_url.h"

#include <algorithm>

#include "core/decimal.h"

namespace velmora::engine {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char lower, char c) {
               return (c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) == lower;
           });
}

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIpv6Char(char c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
           c == '.';
}

struct HostAndPort {
    std::string_view host;
    std::string_view port;  // empty when the URL names none
};

// "host", "host:port", "[v6]" or "[v6]:port"; nothing for any other form.
std::optional<HostAndPort> SplitAuthority(std::string_view authority) {
    HostAndPort split;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        split.host = authority.substr(1, close - 1);
        // Every IPv6 address has two colons at least; brackets around
        // anything else ("[1]", "[1.2.3.4]") would reach WinINet as a bare
        // name or IPv4 address the URL did not write.
        const std::string_view host = split.host;
        if (std::count(host.begin(), host.end(), ':') < 2 || !std::all_of(host.begin(), host.end(), IsIpv6Char))
            return std::nullopt;
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            split.port = after.substr(1);
            if (split.port.empty()) return std::nullopt;
        }
    } else {
        const std::size_t colon = authority.find(':');
        split.host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            split.port = authority.substr(colon + 1);
            if (split.port.empty()) return std::nullopt;
        }
        const std::string_view host = split.host;
        if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostChar)) return std::nullopt;
    }
    return split;
}

// The parts of "http://host[:port]/path" (or https), whatever the path's
// last character.
std::optional<DataUrl> ParseHttpUrl(std::string_view url) {
    if (std::any_of(url.begin(), url.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u <= 0x20 || u == 0x7f || c == '#' || c == '?' || c == '\\';
        }))
        return std::nullopt;

    DataUrl result;
    if (StartsWithNoCase(url, "http://")) {
        url.remove_prefix(7);
        result.port = 80;
    } else if (StartsWithNoCase(url, "https://")) {
        url.remove_prefix(8);
        result.secure = true;
        result.port = 443;
    } else {
        return std::nullopt;
    }

    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string_view authority = url.substr(0, slash);
    const std::string_view path = url.substr(slash);
    if (authority.find('@') != std::string_view::npos) return std::nullopt;

    const std::optional<HostAndPort> split = SplitAuthority(authority);
    if (!split) return std::nullopt;
    const auto [host, port] = *split;
    if (!port.empty()) {
        const std::optional<std::uint64_t> number = ParseDecimal(port, 65535);
        if (!number || *number == 0) return std::nullopt;
        result.port = static_cast<std::uint16_t>(*number);
    }
    result.host = std::string(host);
    result.manifestPath = std::string(path);
    return result;
}

// `name` in `folder`, beside the manifest the URL names (or inside the
// folder it names).
std::string FolderObjectPath(const DataUrl& url, std::string_view folder, std::string_view name) {
    const std::string_view path = url.manifestPath;
    std::string result(path.substr(0, path.rfind('/') + 1));
    result += folder;
    result += name;
    return result;
}

}  // namespace

std::optional<DataUrl> ParseDataUrl(std::string_view url) {
    std::optional<DataUrl> result = ParseHttpUrl(url);
    // The path must name a file: its folder is where the packs and the
    // stored manifests are.
    if (!result || result->manifestPath.back() == '/') return std::nullopt;
    return result;
}

std::optional<DataUrl> ParseMirrorUrl(std::string_view url) {
    std::optional<DataUrl> result = ParseHttpUrl(url);
    if (!result || result->manifestPath.back() != '/') return std::nullopt;
    return result;
}

std::string PackPath(const DataUrl& url, std::string_view pack) { return FolderObjectPath(url, "packs/", pack); }

std::string StoredManifestPath(const DataUrl& url, std::string_view sha256) {
    return FolderObjectPath(url, "manifests/", sha256);
}

std::string ManifestDeltaPath(const DataUrl& url, std::string_view newSha256, std::string_view oldSha256) {
    return FolderObjectPath(url, "deltas/", std::string(newSha256) + "/" + std::string(oldSha256));
}

}  // namespace velmora::engine
