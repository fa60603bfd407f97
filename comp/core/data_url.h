#pragma once
// The data URL handed to VelUpdateStart, taken apart for WinINet: the
// manifest's URL names a folder on the server, and every object lives under
// that folder's objects/.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

struct DataUrl {
    bool secure = false;        // https
    std::string host;           // name, IPv4 address, or IPv6 address without brackets
    std::uint16_t port = 0;     // the scheme's default when the URL names none
    std::string manifestPath;   // "/oficial/gamedata.vel": starts with '/', names a file
};

// The parts of "http://host[:port]/path" (or https), or nothing when the
// text is not such a URL: another scheme, no host, brackets around no IPv6
// address (fewer than two colons), a bad port, a path that does not name a
// file, a query or fragment, user information, or any blank or control
// character.
std::optional<DataUrl> ParseDataUrl(std::string_view url);

// The server path of a pack: the manifest's folder, "packs/", the name.
std::string PackPath(const DataUrl& url, std::string_view pack);

// The server path of a stored manifest: the manifest's folder,
// "manifests/", the lowercase hex SHA-256 of its text.
std::string StoredManifestPath(const DataUrl& url, std::string_view sha256);

}  // namespace velmora::engine
