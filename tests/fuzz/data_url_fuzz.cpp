// libFuzzer target for the data URL that names the server's manifest; the
// objects' paths are made from it. It checks that a URL the parser accepts
// is rebuilt exactly from its parts (scheme case aside, the default port
// written or not), that no part holds a character WinINet would read as
// another part, and that an object's path lies in the manifest's folder.
// A mirror's folder URL follows the same rules with a path ending in '/':
// no text is both, and its packs lie in that folder.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/data_url.h"
#include "fuzz_check.h"

namespace {

using namespace velmora::engine;
using velmora::fuzz::Check;

std::string Rebuilt(const DataUrl& url, bool withPort) {
    std::string text = url.secure ? "https://" : "http://";
    text += url.host.find(':') == std::string::npos ? url.host : "[" + url.host + "]";
    if (withPort) text += ":" + std::to_string(url.port);
    return text + url.manifestPath;
}

std::string SchemeLowered(std::string_view url) {
    std::string text(url);
    const std::size_t end = std::min(text.find("://"), text.size());
    std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; });
    return text;
}

bool Holds(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos ||
           std::any_of(text.begin(), text.end(), [](char c) {
               const auto u = static_cast<unsigned char>(c);
               return u <= 0x20 || u == 0x7f;
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<DataUrl> url = ParseDataUrl(text);
    const std::optional<DataUrl> mirror = ParseMirrorUrl(text);
    Check(!(url && mirror), "a URL names a file or a folder, not both");
    if (mirror) {
        Check(mirror->manifestPath.starts_with('/') && mirror->manifestPath.ends_with('/'), "path names a folder");
        Check(!mirror->host.empty() && !Holds(mirror->host, "/@?#[]\\") && !Holds(mirror->manifestPath, "?#\\"),
              "a mirror's host and path are plain parts");
        Check(PackPath(*mirror, "ab") == mirror->manifestPath + "packs/ab", "a mirror's packs are in its folder");
    }
    if (!url) return 0;

    Check(!url->host.empty() && !Holds(url->host, "/@?#[]\\"), "host is one plain part");
    Check(url->port != 0, "port is set");
    Check(url->manifestPath.starts_with('/') && !url->manifestPath.ends_with('/'), "path names a file");
    Check(!Holds(url->manifestPath, "?#\\"), "path has no query, fragment or backslash");

    const std::string given = SchemeLowered(text);
    const bool defaultPort = url->port == (url->secure ? 443 : 80);
    Check(given == Rebuilt(*url, true) || (defaultPort && given == Rebuilt(*url, false)),
          "the parts rebuild the URL");
    const auto again = ParseDataUrl(Rebuilt(*url, true));
    Check(again && again->secure == url->secure && again->host == url->host && again->port == url->port &&
              again->manifestPath == url->manifestPath,
          "the rebuilt URL parses to the same parts");

    const std::string folder = url->manifestPath.substr(0, url->manifestPath.rfind('/') + 1);
    Check(PackPath(*url, "ab") == folder + "packs/ab", "packs live in the manifest's folder");
    return 0;
}
