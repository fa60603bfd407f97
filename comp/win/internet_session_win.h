#pragma once
// The network side of one run: the server of the data URL, the engine's
// User-Agent, and the system's proxy settings (a player behind a proxy gets
// through). Plain HTTP goes over the engine's own connections (Winsock,
// tcp_connection_win.h), whose response heads and waits it bounds itself;
// HTTPS goes through WinINet, which brings TLS and certificate checks. The
// requests of a run share the session, each on a helper thread
// (http_get_win.h), so it is owned jointly and closes when the last of them
// is done.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <optional>
#include <string>

#include "core/data_url.h"
#include "core/engine_status.h"
#include "core/proxy_choice.h"
#include "engine_handles_win.h"
#include "tcp_connection_win.h"

namespace velmora::engine {

// Connect, send and receive time-outs, in milliseconds.
inline constexpr DWORD kNetworkTimeoutMs = static_cast<DWORD>(kNetworkTimeout.count());

class InternetSession {
public:
    // -4 when the network cannot be set up. Requests name the engine and
    // its version ("VELUpdater/<version>"), so that the studio's server
    // logs show which updaters its players run.
    static Result<std::shared_ptr<const InternetSession>> Open(const DataUrl& url, std::uint64_t engineVersion);
    // A session for another server (a mirror), naming the engine as this
    // one does, with the proxy the system's settings name for that server.
    Result<std::shared_ptr<const InternetSession>> Beside(const DataUrl& url) const;

    const DataUrl& Url() const noexcept { return url_; }
    const std::string& UserAgent() const noexcept { return userAgent_; }
    // For HTTPS: the WinINet session (the system's proxy settings, HTTP/1.1
    // and the engine's time-outs) and the server's name for it.
    HINTERNET Handle() const noexcept { return session_.get(); }
    const std::wstring& Host() const noexcept { return host_; }
    // For HTTP: the proxy the system's settings name for the server, if any.
    const std::optional<ProxyAddress>& Proxy() const noexcept { return proxy_; }

    // Sets the engine's time-outs on a session or request handle. Windows
    // passes a session's time-outs down to its requests; Wine honours only
    // those set on the request itself.
    static void SetTimeouts(HINTERNET handle) noexcept;

private:
    static Result<std::shared_ptr<const InternetSession>> OpenWithAgent(const DataUrl& url, std::string userAgent);
    InternetSession(DataUrl url, std::string userAgent) : url_(std::move(url)), userAgent_(std::move(userAgent)) {}

    DataUrl url_;
    std::string userAgent_;
    std::wstring host_;
    UniqueInternetHandle session_;
    std::unique_ptr<WinsockUse> winsock_;
    std::optional<ProxyAddress> proxy_;
};

}  // namespace velmora::engine
