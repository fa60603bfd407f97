#pragma once
// The WinINet session of one run: the system's proxy settings (a player
// behind a proxy gets through), HTTP/1.1, and the engine's time-outs. The
// requests of a run share it, each on a helper thread (http_get_win.h), so
// it is owned jointly and closes when the last of them is done.
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "core/engine_status.h"
#include "core/data_url.h"
#include "engine_handles_win.h"

namespace velmora::engine {

// Connect, send and receive time-outs, in milliseconds.
inline constexpr DWORD kNetworkTimeoutMs = 15000;

class InternetSession {
public:
    // -4 when WinINet cannot be set up. Requests name the engine and its
    // version ("VELUpdater/<version>"), so that the studio's server logs
    // show which updaters its players run.
    static Result<std::shared_ptr<const InternetSession>> Open(const DataUrl& url, std::uint64_t engineVersion);

    HINTERNET Handle() const noexcept { return session_.get(); }
    const DataUrl& Url() const noexcept { return url_; }
    const std::wstring& Host() const noexcept { return host_; }

    // Sets the engine's time-outs on a session or request handle. Windows
    // passes a session's time-outs down to its requests; Wine honours only
    // those set on the request itself.
    static void SetTimeouts(HINTERNET handle) noexcept;

private:
    InternetSession(DataUrl url, std::wstring host, UniqueInternetHandle session)
        : url_(std::move(url)), host_(std::move(host)), session_(std::move(session)) {}

    DataUrl url_;
    std::wstring host_;
    UniqueInternetHandle session_;
};

}  // namespace velmora::engine
