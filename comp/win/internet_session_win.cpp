#include "internet_session_win.h"

#include "core/http_request.h"
#include "system_libraries_win.h"
#include "system_proxy_win.h"
#include "error_text_win.h"

namespace velmora::engine {

Result<std::shared_ptr<const InternetSession>> InternetSession::Open(const DataUrl& url, std::uint64_t engineVersion) {
    return OpenWithAgent(url, "VELUpdater/" + std::to_string(engineVersion));
}

Result<std::shared_ptr<const InternetSession>> InternetSession::Beside(const DataUrl& url) const {
    return OpenWithAgent(url, userAgent_);
}

Result<std::shared_ptr<const InternetSession>> InternetSession::OpenWithAgent(const DataUrl& url,
                                                                               std::string userAgent) {
    std::shared_ptr<InternetSession> session(new InternetSession(url, std::move(userAgent)));
    if (!url.secure) {
        session->winsock_ = std::make_unique<WinsockUse>();
        if (!session->winsock_->Started())
            return EngineError{EngineStatus::ConnectionFailed, "Winsock cannot be started"};
        session->proxy_ = SystemHttpProxyFor(AbsoluteUrl(url, url.manifestPath), url.host);
        return std::shared_ptr<const InternetSession>(std::move(session));
    }
    const std::optional<std::wstring> host = FromUtf8(url.host);
    if (!host) return EngineError{EngineStatus::ConnectionFailed, "host name is not text"};
    session->host_ = *host;
    const std::wstring agent(session->userAgent_.begin(), session->userAgent_.end());
    session->session_.reset(wininet::InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session->session_) return EngineError{EngineStatus::ConnectionFailed, "InternetOpen: " + LastErrorText()};
    SetTimeouts(session->session_.get());
    return std::shared_ptr<const InternetSession>(std::move(session));
}

void InternetSession::SetTimeouts(HINTERNET handle) noexcept {
    DWORD timeout = kNetworkTimeoutMs;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT})
        wininet::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
}

}  // namespace velmora::engine
