#pragma once
// The data URL handed to VelUpdateStart, taken apart for the network: the
// manifest's URL names a folder on the server, and the packs live under that
// folder's packs/. A mirror the manifest names is a folder URL of the same
// form, holding packs/ as that folder does.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::engine {

struct DataUrl {
    bool secure = false;        // https
    std::string host;           // name, IPv4 address, or IPv6 address without brackets
    std::uint16_t port = 0;     // the scheme's default when the URL names none
    // Starts with '/'. The data URL's names the manifest ("/oficial/gamedata.vel");
    // a mirror's is its folder ("/velmora/"), ending in '/'.
    std::string manifestPath;
};

// The parts of "http://host[:port]/path" (or https), or nothing when the
// text is not such a URL: another scheme, no host, brackets around no IPv6
// address (fewer than two colons), a bad port, a path that does not name a
// file, a query or fragment, user information, or any blank or control
// character.
std::optional<DataUrl> ParseDataUrl(std::string_view url);

// A mirror's folder, "http://host[:port]/path/" (or https): the rules of
// the data URL, but the path names a folder, so it ends in '/'.
std::optional<DataUrl> ParseMirrorUrl(std::string_view url);

// The server path of a pack: the manifest's folder (a mirror's own
// folder), "packs/", the name.
std::string PackPath(const DataUrl& url, std::string_view pack);

// The server path of a stored manifest: the manifest's folder,
// "manifests/", the lowercase hex SHA-256 of its text.
std::string StoredManifestPath(const DataUrl& url, std::string_view sha256);

// The server path of the delta to the manifest `newSha256` names from the
// one `oldSha256` names: the manifest's folder, "deltas/", the two
// lowercase hex SHA-256s of the texts, new then old, as folder and name.
std::string ManifestDeltaPath(const DataUrl& url, std::string_view newSha256, std::string_view oldSha256);

}  // namespace velmora::engine
