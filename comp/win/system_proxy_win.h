#pragma once
// The proxy the user's system settings name for plain HTTP (Internet
// Options, as WinINet reads them), read once per run.
#include <optional>
#include <string>

#include "core/proxy_choice.h"

namespace velmora::engine {

// The proxy for a request for `url` on `host`, or nothing for a direct
// connection. When the settings name a proxy script or ask to detect one
// (WPAD), WinHTTP runs the script for the URL and its answer decides;
// should there be no script, or should it fail, the fixed proxy and its
// bypass list do.
std::optional<ProxyAddress> SystemHttpProxyFor(const std::string& url, const std::string& host);

}  // namespace velmora::engine
