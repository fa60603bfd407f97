#pragma once
// The proxy the user's system settings name for plain HTTP (Internet
// Options, as WinINet reads them), read once per run.
#include <optional>
#include <string>

#include "core/proxy_choice.h"

namespace velmora::engine {

// The proxy for a request to `host`, or nothing for a direct connection.
// Automatic configuration (WPAD, a PAC script) is not followed: only the
// fixed proxy and its bypass list.
std::optional<ProxyAddress> SystemHttpProxyFor(const std::string& host);

}  // namespace velmora::engine
